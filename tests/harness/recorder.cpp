// Stands in for an installer or a browser: appends "run", "command=", "workdir=", "module=" and
// "parent=" (the file name of the program that started it) lines to "<own path>.record" (UTF-8), is
// idle at once, starts and waits for the command line in "<own path>.run", waits the milliseconds
// in "<own path>.sleep", exits with "<own path>.exitcode".
#include <windows.h>

#include <cwchar>

#include "framework/unique_handle.h"
#include "process/process_list.h"
#include "tests/harness/files.h"

namespace {

std::wstring ParentName() {
  const CArray<PROCESSENTRY32W> processes = ListProcesses();
  DWORD parent = 0;
  for (const PROCESSENTRY32W& process : processes) {
    if (process.th32ProcessID == ::GetCurrentProcessId()) parent = process.th32ParentProcessID;
  }
  for (const PROCESSENTRY32W& process : processes) {
    if (process.th32ProcessID == parent) return process.szExeFile;
  }
  return L"";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t path[MAX_PATH * 4] = {}, directory[MAX_PATH * 4] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  ::GetCurrentDirectoryW(MAX_PATH * 4, directory);
  const std::wstring self = path;
  ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);  // idle, as one waiting for input
  AppendUtf8(self + L".record", L"run\r\ncommand=" + std::wstring(::GetCommandLineW()) +
                                    L"\r\nworkdir=" + directory + L"\r\nmodule=" + self +
                                    L"\r\nparent=" + ParentName() + L"\r\n");
  std::wstring child = ReadUtf8(self + L".run");
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!child.empty() && ::CreateProcessW(nullptr, &child[0], nullptr, nullptr, FALSE, 0, nullptr,
                                         nullptr, &startup, &info)) {
    ScopedHandle thread(info.hThread), process(info.hProcess);
    ::WaitForSingleObject(process.get(), INFINITE);
  }
  ::Sleep(std::wcstoul(ReadUtf8(self + L".sleep").c_str(), nullptr, 0));
  return static_cast<int>(std::wcstoul(ReadUtf8(self + L".exitcode").c_str(), nullptr, 0));
}
