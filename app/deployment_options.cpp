#include "app/deployment_options.h"

#include <windows.h>

#include <cwchar>

namespace {

constexpr const wchar_t* kQuietNames[] = {L"quiet", L"q", L"s", L"silent"};
constexpr const wchar_t* kHelpNames[] = {L"?", L"h", L"help"};
constexpr wchar_t kPassiveName[] = L"passive";
constexpr wchar_t kLogName[] = L"log";

bool IsOption(const wchar_t* argument, const wchar_t* name) {
  return (argument[0] == L'/' || argument[0] == L'-') && _wcsicmp(argument + 1, name) == 0;
}

template <size_t N>
bool IsAnyOf(const wchar_t* argument, const wchar_t* const (&names)[N]) {
  for (const wchar_t* name : names) {
    if (IsOption(argument, name)) return true;
  }
  return false;
}

bool IsProgramOption(const wchar_t* argument) {
  return IsLanguageOption(argument) || IsOption(argument, kPassiveName) ||
         IsOption(argument, kLogName) || IsAnyOf(argument, kQuietNames) ||
         IsAnyOf(argument, kHelpNames);
}

// Relative to the current folder, as a deployment tool's command line means it; a name the
// system cannot make full stays as given, and the log then says that it cannot be written.
CString FullPath(const wchar_t* path) {
  const DWORD needed = ::GetFullPathNameW(path, 0, nullptr, nullptr);
  if (needed == 0) return CString(path);
  CString full(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(path, needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return CString(path);
  full.resize(length);
  return full;
}

}  // namespace

bool IsLanguageOption(const wchar_t* argument) { return wcscmp(argument, L"/l") == 0; }

DeploymentOptions ReadDeploymentOptions(int argc, const wchar_t* const* argv) {
  DeploymentOptions options;
  bool quiet = false, passive = false;
  for (int i = 1; i < argc; ++i) {
    const wchar_t* argument = argv[i];
    quiet = quiet || IsAnyOf(argument, kQuietNames);
    passive = passive || IsOption(argument, kPassiveName);
    options.help = options.help || IsAnyOf(argument, kHelpNames);
    // The last "/log" with a file after it wins.
    if (IsOption(argument, kLogName) && i + 1 < argc && argv[i + 1][0] != L'\0' &&
        !IsProgramOption(argv[i + 1])) {
      options.logFile = FullPath(argv[i + 1]);
    }
  }
  options.ui = quiet ? InstallerUi::kQuiet : passive ? InstallerUi::kPassive : InstallerUi::kNotice;
  return options;
}

const wchar_t* InstallerUiName(InstallerUi ui) {
  return ui == InstallerUi::kQuiet ? L"/quiet" : ui == InstallerUi::kPassive ? L"/passive" : L"";
}

const wchar_t kUsageText[] =
    L"Brantel.exe [/l <id>] [/quiet | /passive] [/log <file>] [/?]\n"
    L"Makes sure that Internet Explorer 8 or later is installed.\n\n"
    L"/l <id>: the notice's language (default 2057).\n"
    L"/quiet (/q, /s, /silent): no window at all; installs where the notice would ask.\n"
    L"/passive: no notice; installs, showing the installer's progress.\n"
    L"/log <file>: logs to this file, not to the shared Vorn.log.\n"
    L"/? (/h, /help): this help.\n\n"
    L"BRANTEL.INI beside the program, section [IE]:\n"
    L"params: the installer's arguments.\n"
    L"quietparams: its arguments with /quiet.\n"
    L"link: the address of the notice's link.\n\n"
    L"Exit codes:\n"
    L"0: nothing to do, or installed.\n"
    L"3010: installed, restart needed.\n"
    L"-1: the user took the link; setup.exe was ended.\n"
    L"1459: the notice was needed, but nobody could see it.\n"
    L"1223: the notice ended without an answer.\n"
    L"8: out of memory.\n"
    L"Others: the installer's own, or the Windows error of its start (2: it is missing, "
    L"740: it needs elevation).";
