// Stands in for an installer. Each run appends what it was given to "<own path>.record" (UTF-8):
//   run
//   command=<its command line>
//   workdir=<its current directory>
//   module=<its own full path>
// then waits "<own path>.sleep" milliseconds if that file exists, and exits with the number in
// "<own path>.exitcode" (decimal or 0x-hexadecimal), or 0 without it.
#include <windows.h>

#include <cwchar>
#include <string>

#include "tests/harness/text_file.h"

namespace {

std::wstring OwnPath() {
  wchar_t path[MAX_PATH * 4] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  return std::wstring(path, length);
}

std::wstring CurrentDirectory() {
  wchar_t dir[MAX_PATH * 4] = {};
  const DWORD length = ::GetCurrentDirectoryW(MAX_PATH * 4, dir);
  return std::wstring(dir, length);
}

DWORD NumberFromFile(const std::wstring& path, DWORD fallback) {
  std::wstring text;
  if (!ReadUtf8File(path, text)) return fallback;
  return static_cast<DWORD>(std::wcstoul(text.c_str(), nullptr, 0));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  const std::wstring self = OwnPath();
  AppendUtf8File(self + L".record", L"run\r\ncommand=" + std::wstring(::GetCommandLineW()) +
                                        L"\r\nworkdir=" + CurrentDirectory() + L"\r\nmodule=" +
                                        self + L"\r\n");
  const DWORD sleepMs = NumberFromFile(self + L".sleep", 0);
  if (sleepMs != 0) ::Sleep(sleepMs);
  return static_cast<int>(NumberFromFile(self + L".exitcode", 0));
}
