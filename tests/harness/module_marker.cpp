// Planted under a system library's name: every load appends "loaded" to "<its own path>.loaded".
#include <windows.h>

#include "tests/harness/files.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length = ::GetModuleFileNameW(instance, path, MAX_PATH * 4);
    AppendUtf8(std::wstring(path, length) + L".loaded", L"loaded\r\n");
  }
  return TRUE;
}
