#include "process/run_process.h"

#include <windows.h>

#include <utility>

#include "framework/apartment.h"
#include "framework/win_app.h"
#include "framework/wnd.h"
#include "log/log_to_file.h"

namespace {

// How long each slice of the wait for the new program's first idle moment lasts.
constexpr DWORD kIdleWaitSliceMs = 100;

// Whether this thread has a window that others may send messages to: the application's main
// window (the notice, hidden while the installer runs). The framework knows; asking the window
// manager to list the thread's windows would go through the desktop window, which under Wine sets
// up the display driver, about 10 ms on the paths that show no window at all.
bool ThreadOwnsWindow() {
  const CWinApp* app = AfxGetApp();
  return app != nullptr && app->m_pMainWnd != nullptr && app->m_pMainWnd->m_hWnd != nullptr;
}

// Whether the program ended within waitMs. A thread that owns a window (the hidden notice) keeps
// answering what others send it meanwhile (WaitAnswering): a program that broadcasts with
// SendMessage (a setting change) waits for every top-level window, and would wait for ours while we
// wait for it; a screen reader that keeps the notice's link would hang in its call. A thread
// without a window waits plainly.
bool Ended(HANDLE process, bool answering, DWORD waitMs) {
  if (answering) return WaitAnswering(process, waitMs);
  return ::WaitForSingleObject(process, waitMs) == WAIT_OBJECT_0;
}

// Waits until the program is first idle and then until it ends. What WaitForInputIdle answers for
// a program that ended without ever being idle is left open by its documentation ("WaitForInputIdle
// function"; with INFINITE it "does not return until the process is idle"): it is only asked, never
// waited on, and each answer that the program is not idle yet is followed by a slice of the wait
// for its end, so that the wait ends with the program whatever the answer, and never spins. The
// first idle moment is kept: once reached, WaitForInputIdle returns at once.
void WaitForProgram(HANDLE process) {
  const bool answering = ThreadOwnsWindow();
  while (::WaitForInputIdle(process, 0) == WAIT_TIMEOUT) {
    if (Ended(process, answering, kIdleWaitSliceMs)) return;
  }
  Ended(process, answering, INFINITE);
}

}  // namespace

CString BuildCommandLine(const CString& exePath, const CString& args) {
  return L"\"" + exePath + L"\" " + args;
}

int RunProcess(CString exePath, CString args, CString workDir, bool wait,
               ScopedHandle& processHandle) {
  theLog.WriteFormat(L"Running process: %s, Wdir: %s, Args: %s", exePath.c_str(), workDir.c_str(),
                     args.c_str());

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};

  // The platform may write into the command line, so it gets a copy of its own.
  CString writable = BuildCommandLine(exePath, args);

  // The full path as application name: the platform never searches for a program of its own.
  if (!::CreateProcessW(exePath.c_str(), writable.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_PROCESS_GROUP, nullptr,
                        workDir.empty() ? nullptr : workDir.c_str(), &startup, &info)) {
    const DWORD error = ::GetLastError();
    theLog.WriteFormat(L"Can't run process, error: %d", static_cast<int>(error));
    return static_cast<int>(error);
  }
  ScopedHandle(info.hThread).reset();  // never used
  ScopedHandle process(info.hProcess);

  if (wait) WaitForProgram(process.get());
  DWORD exitCode = 0;
  if (!::GetExitCodeProcess(process.get(), &exitCode)) exitCode = ::GetLastError();
  theLog.WriteFormat(L"Process returned code: %d", static_cast<int>(exitCode));
  processHandle = std::move(process);
  return static_cast<int>(exitCode);
}
