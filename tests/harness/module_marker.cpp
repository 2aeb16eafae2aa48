// A library that leaves a trace of every load: on attach it appends "loaded" to "<its own full
// path>.loaded". Planted under a system library's name, it shows whether a process loaded it.
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
