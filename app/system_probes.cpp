#include "app/system_probes.h"

#include <windows.h>
#include <versionhelpers.h>

#include <cwchar>

#include "framework/cstring.h"
#include "app/reg_value_reader.h"

namespace {

constexpr wchar_t kBrowserKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\";
constexpr wchar_t kBrowserVersionValue[] = L"Version";
constexpr int kFirstSupportedMajorVersion = 8;

constexpr const wchar_t* kProductKeys[] = {
    L"SOFTWARE\\orvanix\\Haldry\\",
    L"SOFTWARE\\orvanix\\Tirnavel\\",
    L"SOFTWARE\\orvanix\\Osmundra\\",
};
constexpr wchar_t kEmbeddedValue[] = L"Xp_Embedded";

// Stands for "value absent or unreadable"; any other text, even empty, marks a device.
constexpr wchar_t kNotSet[] = L"-1";

}  // namespace

bool IsIE8Installed() {
  CRegValueReader reader(HKEY_LOCAL_MACHINE);
  if (!reader.SelectKey(kBrowserKey, false)) return false;
  const CString version = reader.ReadText(kBrowserVersionValue, kNotSet);
  // A version without a dot has no major part ("8" reads as 0).
  const size_t dot = version.find(L'.');
  const CString major = dot == CString::npos ? CString() : version.substr(0, dot);
  return _wtoi(major.c_str()) >= kFirstSupportedMajorVersion;
}

// A process in a window station that nobody sees (an installation by a deployment tool under the
// system account) could show the notice, but no one would ever answer it. From Windows Vista on,
// session 0 holds only services and is never shown to a user, even in its interactive window
// station, which says it is visible (a service allowed to interact with the desktop); on Windows
// XP session 0 is the console's.
bool NoticeCanBeSeen() {
  USEROBJECTFLAGS flags = {};
  if (!::GetUserObjectInformationW(::GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof(flags),
                                   nullptr) ||
      (flags.dwFlags & WSF_VISIBLE) == 0) {
    return false;
  }
  DWORD session = 0;
  return !IsWindowsVistaOrGreater() || !::ProcessIdToSessionId(::GetCurrentProcessId(), &session) ||
         session != 0;
}

bool IsEmbeddedDevice() {
  CRegValueReader reader(HKEY_LOCAL_MACHINE);
  for (const wchar_t* key : kProductKeys) {
    if (!reader.SelectKey(key, false)) continue;
    if (reader.ReadText(kEmbeddedValue, kNotSet) != kNotSet) return true;
  }
  return false;
}
