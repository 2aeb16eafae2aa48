// The application: one start-up that decides what the program does and sets its exit code.
#pragma once

#include <cstdlib>

#include "app/deployment_options.h"
#include "framework/cstring.h"
#include "framework/win_app.h"

class CbrantelApp : public CWinApp {
 public:
  CbrantelApp() = default;
  ~CbrantelApp() override = default;

  // Logs the command line, settles the language and installer parameters, probes the machine and
  // then does exactly one thing: nothing, an installer run, or the notice. Always returns FALSE.
  BOOL InitInstance() override;
  // Returns the outcome of start-up as the process exit code.
  int ExitInstance() override;

  // The command line's options beyond "/l", read when the application is made.
  const DeploymentOptions& Options() const { return m_options; }

 private:
  // Shows the notice in the given language and returns its result; when it cannot be shown (a
  // window station nobody sees, or no dialog could be created), logs why and returns the error.
  int RunNoticeDialog(int language, const CString& ieParameters);
  int ReportNoticeNotShown(DWORD error);

  const DeploymentOptions m_options = ReadDeploymentOptions(__argc, __wargv);
  int m_nExitCode = 0;
};

extern CbrantelApp theApp;
