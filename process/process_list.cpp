#include "process/process_list.h"

#include <versionhelpers.h>

#include "framework/unique_handle.h"

namespace {

constexpr DWORD kAllProcesses = 0;  // the process id that CreateToolhelp32Snapshot ignores
// Declared from Windows Vista on.
constexpr DWORD kQueryLimitedInformation = 0x1000;

// The size that every Windows version from XP on accepts for a 32-bit caller.
static_assert(sizeof(void*) != 4 || sizeof(PROCESSENTRY32W) == 556, "as Windows XP knows it");

}  // namespace

CArray<PROCESSENTRY32W> ListProcesses() {
  CArray<PROCESSENTRY32W> processes;
  ScopedFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, kAllProcesses));
  if (!snapshot) return processes;
  PROCESSENTRY32W process = {};
  process.dwSize = sizeof(process);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &process); more;
       more = ::Process32NextW(snapshot.get(), &process)) {
    processes.push_back(process);
  }
  return processes;
}

DWORD QueryRight() {
  return IsWindowsVistaOrGreater() ? kQueryLimitedInformation : PROCESS_QUERY_INFORMATION;
}

ULONGLONG ProcessStartTime(HANDLE process) {
  FILETIME created = {}, exited, kernel, user;
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return (ULONGLONG{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}
