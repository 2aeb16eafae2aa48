// The options that deployment tools and scripts pass beside "/l": each written with "/" or "-",
// in any letter case. Unknown arguments are ignored.
#pragma once

#include "framework/cstring.h"

// How much of the run the user sees. Quiet wins when both are given.
enum class InstallerUi {
  kNotice,   // the notice where the browser must be installed, and the installer's own windows
  kPassive,  // "/passive": no window of the program's own; the installer shows its progress
  kQuiet,    // "/quiet" ("/q", "/s", "/silent"): no window of the program's own, the installer's
             // settings-file arguments for an installation that shows nothing
};

struct DeploymentOptions {
  InstallerUi ui = InstallerUi::kNotice;
  bool help = false;  // "/?", "/h", "/help"
  // The full path of the file given after "/log"; empty when there is none (also for a "/log"
  // followed by nothing or by another option).
  CString logFile;
};

// "/l", the language: exact and case-sensitive, unlike the other options, and never a short "/log".
bool IsLanguageOption(const wchar_t* argument);

// Reads the options from the arguments after argument 0 (the program).
DeploymentOptions ReadDeploymentOptions(int argc, const wchar_t* const* argv);

// The option's name in the log: "/quiet" or "/passive"; empty for the notice.
const wchar_t* InstallerUiName(InstallerUi ui);

// The box "/?" shows: the options, the settings file's keys and the exit codes.
extern const wchar_t kUsageText[];
