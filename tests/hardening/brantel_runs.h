// Runs of the real Brantel.exe for the hardening tests, and the log lines each decision path
// writes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "tests/harness/harness.h"

using Lines = std::vector<std::wstring>;

extern const std::wstring kDefaultParameters;

// The command line that hands a program exactly these arguments, quoted as the runtime's parser
// reads them back.
std::wstring CommandLineFor(const Lines& arguments);

// Wine's debugger shows a crash dialog for an unhandled fault and keeps the faulting program until
// a user closes it; with the dialog off it ends the program at once, with the fault's code.
class CrashDialogOff {
 public:
  CrashDialogOff();
  ~CrashDialogOff();
  CrashDialogOff(const CrashDialogOff&) = delete;
  CrashDialogOff& operator=(const CrashDialogOff&) = delete;

 private:
  void Set(DWORD value);
  ScopedRegKey key_;
  DWORD old_ = 0;
  bool had_ = false;
};

struct Outcome {
  DWORD exitCode = 0;
  bool noticeShown = false;
};

// Runs Brantel.exe to its end under a time limit; when it shows the notice, presses OK as a user
// would. A run that outlives the limit fails the test and is ended; a run that crashes ends at
// once with the fault's code.
Outcome RunToEnd(const std::wstring& exe, const std::wstring& args, DWORD timeoutMs = 30000);

// A machine and a sandbox with Brantel.exe in it; the English and Italian installers are the
// recorder unless a test puts something else there.
struct Kit {
  Machine machine;
  Sandbox box;
  std::wstring exe;

  explicit Kit(const std::wstring& name) : box(name), exe(box.InstallBrantel()) {}
  std::wstring Folder() const { return box.Path(); }
  std::wstring English() const { return box.File(L"ie_setup_2057.exe"); }
};

// The messages of one run, from "Args: " on.
Lines Preamble(const std::wstring& exe, const Lines& arguments, const Lines& languageLines,
               const std::wstring& parameters = kDefaultParameters);
// What a run with the browser at version 8 or later logs after its preamble.
Lines PresentLines();
// An embedded device: the English installer ran and returned exitCode.
Lines EmbeddedLines(const Kit& kit, int exitCode,
                    const std::wstring& parameters = kDefaultParameters);
// An embedded device whose English installer did not start.
Lines EmbeddedStartFailedLines(const Kit& kit, DWORD error,
                               const std::wstring& parameters = kDefaultParameters);
// No browser, no device, English system: the notice, OK pressed, the installer returned exitCode.
Lines NoticeLines(const Kit& kit, int exitCode,
                  const std::wstring& parameters = kDefaultParameters);
Lines Concat(Lines head, const Lines& tail);

// The error the platform reports when it is asked to start this file the way the launcher
// starts an installer.
DWORD StartError(const std::wstring& path);
