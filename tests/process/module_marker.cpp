// A library that leaves a trace of every load: on attach it appends "loaded" and a line end to
// "<its own full path>.loaded". Copied under other names, it shows which file a process loaded.
#include <windows.h>

#include <string>

#include "tests/harness/text_file.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length = ::GetModuleFileNameW(instance, path, MAX_PATH * 4);
    AppendUtf8File(std::wstring(path, length) + L".loaded", L"loaded\r\n");
  }
  return TRUE;
}
