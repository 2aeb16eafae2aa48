// Runs one program and prints its whole 32-bit exit code, which a Unix shell would cut to 8 bits:
//   launch <program> [arguments...]
// The program's own command line is the quoted program path followed by the arguments as given.
#include <windows.h>

#include <cstdio>
#include <string>

#include "framework/unique_handle.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: launch <program> [arguments...]\n");
    return 2;
  }
  std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
  for (int i = 2; i < argc; ++i) commandLine += L" " + std::wstring(argv[i]);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(argv[1], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    std::fprintf(stderr, "launch: cannot start the program, error %lu\n", ::GetLastError());
    return 2;
  }
  ScopedHandle(info.hThread).reset();
  ScopedHandle process(info.hProcess);
  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD exitCode = 0;
  ::GetExitCodeProcess(process.get(), &exitCode);
  std::printf("exit code: %d (0x%08lX)\n", static_cast<int>(exitCode), exitCode);
  return 0;
}
