// Runs one program and prints its whole 32-bit exit code, which a Unix shell would cut to 8 bits:
//   launch [--press-ok <picture.png>] <program> [arguments...]
// The program's own command line is the quoted program path followed by the arguments as given.
// With --press-ok, once the program shows its notice, a picture of it is saved (a Unix path) and
// its OK button is pressed, as a user on a screen without one would.
#include <windows.h>

#include <cstdio>
#include <string>

#include "framework/unique_handle.h"
#include "tests/harness/screen.h"
#include "tests/harness/text_file.h"

namespace {

constexpr DWORD kNoticeWaitMs = 30000;
constexpr DWORD kPollMs = 20;
constexpr DWORD kPaintMs = 300;

// Waits for the notice, photographs it and presses OK; false when it never appeared.
bool PressOk(HANDLE process, DWORD processId, const std::wstring& picture) {
  const DWORD start = ::GetTickCount();
  HWND notice = nullptr;
  while ((notice = FindVisibleDialog(processId, nullptr)) == nullptr) {
    if (::WaitForSingleObject(process, kPollMs) == WAIT_OBJECT_0) return false;
    if (::GetTickCount() - start > kNoticeWaitMs) return false;
  }
  ::Sleep(kPaintMs);
  RECT area = {};
  ::GetWindowRect(notice, &area);
  if (ScreenshotToPng(area, picture)) {
    std::printf("notice shown; picture: %s\n", ToUtf8(picture).c_str());
  }
  std::printf("pressing OK\n");
  std::fflush(stdout);
  ::SendMessageW(::GetDlgItem(notice, IDOK), BM_CLICK, 0, 0);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int first = 1;
  std::wstring picture;
  if (argc > 2 && std::wstring(argv[1]) == L"--press-ok") {
    picture = argv[2];
    first = 3;
  }
  if (argc <= first) {
    std::fprintf(stderr, "usage: launch [--press-ok <picture.png>] <program> [arguments...]\n");
    return 2;
  }
  std::wstring commandLine = L"\"" + std::wstring(argv[first]) + L"\"";
  for (int i = first + 1; i < argc; ++i) commandLine += L" " + std::wstring(argv[i]);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(argv[first], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    std::fprintf(stderr, "launch: cannot start the program, error %lu\n", ::GetLastError());
    return 2;
  }
  ScopedHandle(info.hThread).reset();
  ScopedHandle process(info.hProcess);
  if (!picture.empty() && !PressOk(process.get(), info.dwProcessId, picture)) {
    std::printf("no notice was shown\n");
  }
  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD exitCode = 0;
  ::GetExitCodeProcess(process.get(), &exitCode);
  std::printf("exit code: %d (0x%08lX)\n", static_cast<int>(exitCode), exitCode);
  return 0;
}
