// The one export that the version.dll importer binds, so that a planted copy of the load marker
// can stand in for version.dll: it answers that no file has version data.
#include <windows.h>

extern "C" __declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR, LPDWORD handle) {
  if (handle != nullptr) *handle = 0;
  ::SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return 0;
}
