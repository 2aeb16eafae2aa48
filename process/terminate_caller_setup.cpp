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
static_assert(sizeof(PROCESSENTRY32W) == 556, "PROCESSENTRY32W as Windows XP knows it");
static_assert(sizeof(MODULEENTRY32W) == 1064, "MODULEENTRY32W as Windows XP knows it");

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

}  // namespace

bool TerminateCallerSetup(CString internalName) {
  DWORD found = 0;
  bool qualified = false;
  {
    ScopedFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, kAllProcesses));
    if (!snapshot) return true;  // lists nothing: nothing qualifies
    PROCESSENTRY32W process = {};
    process.dwSize = sizeof(process);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &process); more && !qualified;
         more = ::Process32NextW(snapshot.get(), &process)) {
      if (Qualifies(process, internalName)) {
        found = process.th32ProcessID;
        qualified = true;
      }
    }
  }
  if (!qualified) return true;

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
