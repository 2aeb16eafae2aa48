#include "process/terminate_caller_setup.h"

#include <tlhelp32.h>

#include <cwchar>

#include "framework/unique_handle.h"
#include "process/file_version_info.h"

namespace {

constexpr wchar_t kSetupFileName[] = L"setup.exe";
constexpr DWORD kAllProcesses = 0;  // the process id that CreateToolhelp32Snapshot ignores
constexpr DWORD kTerminateRights = PROCESS_TERMINATE | SYNCHRONIZE;
constexpr UINT kTerminatedExitCode = 0;

static_assert(kTerminateRights == 0x100001, "end the process, nothing more");
// The sizes that every Windows version from XP on accepts for a 32-bit caller.
static_assert(sizeof(void*) != 4 || sizeof(PROCESSENTRY32W) == 556, "as Windows XP knows it");
static_assert(sizeof(void*) != 4 || sizeof(MODULEENTRY32W) == 1064, "as Windows XP knows it");

CString ToUpper(CString text) {
  if (!text.empty()) ::CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

CString ToLower(CString text) {
  if (!text.empty()) ::CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

bool Qualifies(const PROCESSENTRY32W& process, const CString& internalName) {
  // The snapshot gives the executable's file name alone, never a path.
  if (_wcsicmp(process.szExeFile, kSetupFileName) != 0) return false;
  if (internalName.empty()) return true;
  const CString path = GetProcessModulePath(kSetupFileName, process.th32ProcessID);
  return ToLower(GetFileInternalName(path)) == ToLower(internalName);
}

// When the process started, or 0 when that cannot be asked.
ULONGLONG StartTime(DWORD processId) {
  ScopedHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
  FILETIME created = {}, exited, kernel, user;
  if (!process || !::GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) return 0;
  return (ULONGLONG{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}

// The nearest ancestor of this process that qualifies, else the first process in the list that
// does; 0 when none does. A parent id names an ancestor only while that process started before
// its child: ids are reused, and a process that started later is a stranger.
DWORD ChooseProcess(const CArray<PROCESSENTRY32W>& processes, const CString& internalName) {
  const auto find = [&](DWORD id) -> const PROCESSENTRY32W* {
    for (const PROCESSENTRY32W& process : processes) {
      if (process.th32ProcessID == id) return &process;
    }
    return nullptr;
  };
  DWORD child = ::GetCurrentProcessId();
  ULONGLONG childStart = StartTime(child);
  for (size_t depth = 0; depth < processes.size(); ++depth) {
    const PROCESSENTRY32W* self = find(child);
    const PROCESSENTRY32W* parent = self ? find(self->th32ParentProcessID) : nullptr;
    if (parent == nullptr || parent->th32ProcessID == child) break;
    const ULONGLONG parentStart = StartTime(parent->th32ProcessID);
    if (parentStart == 0 || childStart == 0 || parentStart > childStart) break;
    if (Qualifies(*parent, internalName)) return parent->th32ProcessID;
    child = parent->th32ProcessID;
    childStart = parentStart;
  }
  for (const PROCESSENTRY32W& process : processes) {
    if (Qualifies(process, internalName)) return process.th32ProcessID;
  }
  return 0;
}

}  // namespace

bool TerminateCallerSetup(CString internalName) {
  CArray<PROCESSENTRY32W> processes;
  {
    ScopedFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, kAllProcesses));
    if (!snapshot) return true;  // lists nothing: nothing qualifies
    PROCESSENTRY32W process = {};
    process.dwSize = sizeof(process);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &process); more;
         more = ::Process32NextW(snapshot.get(), &process)) {
      processes.push_back(process);
    }
  }
  const DWORD found = ChooseProcess(processes, internalName);
  if (found == 0) return true;

  ScopedHandle target(::OpenProcess(kTerminateRights, FALSE, found));
  if (!target) return true;  // ended since the snapshot, or not ours to end
  return ::TerminateProcess(target.get(), kTerminatedExitCode) != FALSE;
}

CString GetProcessModulePath(const CString& moduleName, DWORD processId) {
  CString result;
  ScopedFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
  if (!snapshot) return result;
  const CString wanted = ToUpper(moduleName);
  MODULEENTRY32W module = {};
  module.dwSize = sizeof(module);
  // Every module is looked at: when several paths contain the name, the last one wins.
  for (BOOL more = ::Module32FirstW(snapshot.get(), &module); more;
       more = ::Module32NextW(snapshot.get(), &module)) {
    if (ToUpper(module.szExePath).find(wanted) != CString::npos) result = module.szExePath;
  }
  return result;
}

CString GetFileInternalName(const CString& path) {
  CFileVersionInfo info;
  if (!info.Create(path)) return CString();
  return info.GetInternalName();
}
