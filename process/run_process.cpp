#include "process/run_process.h"

#include <windows.h>

#include <utility>

#include "log/log_to_file.h"

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

  if (wait) {
    ::WaitForInputIdle(process.get(), INFINITE);
    ::WaitForSingleObject(process.get(), INFINITE);
  }
  DWORD exitCode = 0;
  if (!::GetExitCodeProcess(process.get(), &exitCode)) exitCode = ::GetLastError();
  theLog.WriteFormat(L"Process returned code: %d", static_cast<int>(exitCode));
  processHandle = std::move(process);
  return static_cast<int>(exitCode);
}
