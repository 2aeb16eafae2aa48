#include "process/terminate_caller_setup.h"

#include <tlhelp32.h>

#include <cwchar>

#include "framework/system_library.h"
#include "framework/unique_handle.h"
#include "process/file_version_info.h"
#include "process/process_list.h"

namespace {

constexpr wchar_t kSetupFileName[] = L"setup.exe";
// ERROR_INSTALL_USEREXIT, "User cancelled installation": what the installer's own caller (a
// menu, a bundle, a deployment tool) reads of an installer the user interrupted, never a success.
constexpr UINT kTerminatedExitCode = ERROR_INSTALL_USEREXIT;
constexpr DWORD kImagePathChars = 1024;

// The size that every Windows version from XP on accepts for a 32-bit caller.
static_assert(sizeof(void*) != 4 || sizeof(MODULEENTRY32W) == 1064, "as Windows XP knows it");

using GetProcessImageFileNameWFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD);

CString ToUpper(CString text) {
  if (!text.empty()) ::CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

CString ToLower(CString text) {
  if (!text.empty()) ::CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

bool NamedSetup(const wchar_t* fileName) { return _wcsicmp(fileName, kSetupFileName) == 0; }

// Opens a process of the snapshot, once: with the least right that reads its start time and image
// name, and the right to end it when it may be the one to end. Everything later is asked of this
// handle, never of the id, which may be another process's by now.
ScopedHandle Open(const PROCESSENTRY32W& process) {
  const DWORD end = NamedSetup(process.szExeFile) ? PROCESS_TERMINATE : 0;
  return ScopedHandle(::OpenProcess(QueryRight() | end, FALSE, process.th32ProcessID));
}

// The process runs in this process's Windows session: another session's is another user's
// installation, never ours to end. A session that cannot be asked is another's.
bool InOwnSession(DWORD processId) {
  DWORD own = 0, its = 0;
  return ::ProcessIdToSessionId(::GetCurrentProcessId(), &own) &&
         ::ProcessIdToSessionId(processId, &its) && own == its;
}

// The process behind the handle runs in this session a program file named "setup.exe" (the
// image, not only the snapshot's entry) whose InternalName matches, when one is asked for.
bool Qualifies(HANDLE handle, const PROCESSENTRY32W& process, const CString& internalName) {
  if (!NamedSetup(process.szExeFile) || !InOwnSession(process.th32ProcessID)) return false;
  const ScopedModule psapi = LoadSystemLibrary(L"psapi.dll");
  const auto imageName =
      GetLibraryFunction<GetProcessImageFileNameWFn>(psapi, "GetProcessImageFileNameW");
  wchar_t image[kImagePathChars] = {};
  if (imageName == nullptr || imageName(handle, image, kImagePathChars) == 0) return false;
  const wchar_t* name = wcsrchr(image, L'\\');
  if (!NamedSetup(name != nullptr ? name + 1 : image)) return false;
  if (internalName.empty()) return true;
  const CString path = GetProcessModulePath(kSetupFileName, process.th32ProcessID);
  return ToLower(GetFileInternalName(path)) == ToLower(internalName);
}

// The nearest ancestor of this process that qualifies, else the first process in the list that
// does, opened to be ended; none when none does, or when the "setup.exe" it would be cannot be
// opened: an ancestor of that name is most likely the caller, and ending another in its place
// would end a stranger's work. A parent id names an ancestor only while that process started
// before its child: ids are reused, and a process that started later is a stranger.
ScopedHandle ChooseProcess(const CArray<PROCESSENTRY32W>& processes, const CString& internalName) {
  const auto find = [&](DWORD id) -> const PROCESSENTRY32W* {
    for (const PROCESSENTRY32W& process : processes) {
      if (process.th32ProcessID == id) return &process;
    }
    return nullptr;
  };
  DWORD child = ::GetCurrentProcessId();
  ULONGLONG childStart = ProcessStartTime(::GetCurrentProcess());
  for (size_t depth = 0; depth < processes.size(); ++depth) {
    const PROCESSENTRY32W* self = find(child);
    const PROCESSENTRY32W* parent = self ? find(self->th32ParentProcessID) : nullptr;
    if (parent == nullptr || parent->th32ProcessID == child) break;
    ScopedHandle handle = Open(*parent);
    if (!handle && NamedSetup(parent->szExeFile)) return handle;
    const ULONGLONG parentStart = ProcessStartTime(handle.get());
    if (parentStart == 0 || childStart == 0 || parentStart > childStart) break;
    if (Qualifies(handle.get(), *parent, internalName)) return handle;
    child = parent->th32ProcessID;
    childStart = parentStart;
  }
  for (const PROCESSENTRY32W& process : processes) {
    if (!NamedSetup(process.szExeFile)) continue;
    ScopedHandle handle = Open(process);
    if (!handle) break;  // ended meanwhile, or not ours to end: none other in its place
    if (Qualifies(handle.get(), process, internalName)) return handle;
  }
  return ScopedHandle();
}

}  // namespace

bool TerminateCallerSetup(CString internalName) {
  // A list that cannot be read lists nothing: nothing qualifies. Ended through the handle its
  // checks were made on.
  const ScopedHandle target = ChooseProcess(ListProcesses(), internalName);
  if (!target) return true;  // none qualifies, or the caller is not ours to end
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
