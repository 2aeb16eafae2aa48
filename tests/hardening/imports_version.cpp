// A program that imports version.dll, as the program itself must not: whichever version.dll the
// loader bound answers for the system's kernel32.dll.
//   exit 0: the system's version.dll answered (kernel32.dll has a version resource)
//   exit 1: a copy without the data answered
#include <windows.h>
#include <winver.h>

#include <string>

int wmain() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  const std::wstring kernel = std::wstring(folder, length) + L"\\kernel32.dll";
  DWORD handle = 0;
  return ::GetFileVersionInfoSizeW(kernel.c_str(), &handle) > 0 ? 0 : 1;
}
