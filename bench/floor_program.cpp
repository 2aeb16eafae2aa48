// The floor of Brantel.exe's paths without a window: the platform calls those paths cannot avoid,
// and nothing else, in a program of the same toolchain, link options and manifest.
//   floor_program                       the browser-present path: the shared documents folder
//                                       from shell32, one line appended to a file there, and the
//                                       browser's version read from the registry; exits with 0
//   floor_program <installer> <args>    the silent path: the same, then the installer started by
//                                       its full path with those arguments, its input idle and its
//                                       end awaited; exits with the installer's exit code
#include <windows.h>
#include <shlobj.h>

#include <cwchar>

#include "framework/unique_handle.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t path[MAX_PATH + 16] = {};
  if (SUCCEEDED(
          ::SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS, nullptr, SHGFP_TYPE_CURRENT, path))) {
    std::wcscat(path, L"\\floor.log");
    ScopedFileHandle file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) ::WriteFile(file.get(), "floor\r\n", 7, &written, nullptr);
  }
  ScopedRegKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", 0,
                      KEY_QUERY_VALUE, key.receive()) == ERROR_SUCCESS) {
    wchar_t version[64] = {};
    DWORD size = sizeof(version) - sizeof(wchar_t);
    ::RegQueryValueExW(key.get(), L"Version", nullptr, nullptr, reinterpret_cast<BYTE*>(version),
                       &size);
  }
  if (__argc < 3) return 0;

  wchar_t commandLine[2 * MAX_PATH] = {};
  std::swprintf(commandLine, 2 * MAX_PATH, L"\"%ls\" %ls", __wargv[1], __wargv[2]);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(__wargv[1], commandLine, nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP,
                        nullptr, nullptr, &startup, &info)) {
    return static_cast<int>(::GetLastError());
  }
  ScopedHandle(info.hThread).reset();
  const ScopedHandle process(info.hProcess);
  ::WaitForInputIdle(process.get(), INFINITE);
  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.get(), &code);
  return static_cast<int>(code);
}
