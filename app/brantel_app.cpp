#include "app/brantel_app.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#include "app/deployment_options.h"
#include "app/program_paths.h"
#include "app/system_probes.h"
#include "framework/common_controls.h"
#include "log/log_to_file.h"
#include "process/run_process.h"
#include "ui/notice/notice_dialog.h"

namespace {

constexpr wchar_t kDefaultLanguage[] = L"2057";
constexpr wchar_t kParametersKey[] = L"params";
constexpr wchar_t kDefaultParameters[] = L"/passive /update-no /norestart";
constexpr wchar_t kQuietParametersKey[] = L"quietparams";
constexpr wchar_t kDefaultQuietParameters[] = L"/quiet /update-no /norestart";
constexpr wchar_t kUsageCaption[] = L"Brantel.exe";

constexpr wchar_t kEnglishInstaller[] = L"\\ie_setup_2057.exe";
constexpr wchar_t kItalianInstaller[] = L"\\ie_setup_1040.exe";
constexpr LANGID kItalianItaly = 0x0410;
constexpr LANGID kItalianSwitzerland = 0x0810;

int RunInstaller(const wchar_t* installerName, const CString& parameters) {
  const CString directory = GetProgramDirectory();
  ScopedHandle process;
  return RunProcess(directory + installerName, parameters, directory, true, process);
}

// In front of the user; OK closes it. Shown only where someone can see it and answer it.
void ShowUsage(InstallerUi ui) {
  if (ui != InstallerUi::kNotice) {
    theLog.WriteFormat(L"Help not shown (%s)", InstallerUiName(ui));
    return;
  }
  if (!NoticeCanBeSeen()) {
    theLog.WriteFormat(L"Can't show help, error: %d", ERROR_REQUIRES_INTERACTIVE_WINDOWSTATION);
    return;
  }
  theLog.WriteLine(L"Showing help", true);
  if (::MessageBoxW(nullptr, kUsageText, kUsageCaption,
                    MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND) == 0) {
    theLog.WriteFormat(L"Can't show help, error: %d", static_cast<int>(::GetLastError()));
  }
}

}  // namespace

BOOL CbrantelApp::InitInstance() {
  CString language = kDefaultLanguage;

  CString arguments = L"Args: ";
  for (int i = 0; i < __argc; ++i) {
    arguments += __wargv[i];
    arguments += L' ';
  }
  theLog.WriteLine(arguments, true);
  if (m_options.help) {
    ShowUsage(m_options.ui);
    return FALSE;
  }

  // Exact and case-sensitive; every match is logged and the last one wins. A "/l" in the last
  // position has no value and does not count.
  for (int i = 0; i + 1 < __argc; ++i) {
    if (IsLanguageOption(__wargv[i])) {
      language = __wargv[i + 1];
      theLog.WriteFormat(L"Found lang(/l): %s", language.c_str());
    }
  }
  theLog.WriteFormat(L"lang: %s", language.c_str());

  // Quiet: the installer shows nothing either, on every installer path.
  const CString parameters = m_options.ui == InstallerUi::kQuiet
                                 ? ReadSetting(kQuietParametersKey, kDefaultQuietParameters)
                                 : ReadSetting(kParametersKey, kDefaultParameters);
  theLog.WriteFormat(L"IEParameters: %s", parameters.c_str());

  CWinApp::InitInstance();

  m_nExitCode = 0;
  if (IsIE8Installed()) {
    theLog.WriteLine(L"IE8 Already installed", true);
    return FALSE;
  }
  theLog.WriteLine(L"IE8 Not installed", true);

  if (IsEmbeddedDevice()) {
    theLog.WriteLine(L"Embedded system", true);
    m_nExitCode = RunInstaller(kEnglishInstaller, parameters);
    return FALSE;
  }
  theLog.WriteLine(L"Not Embedded", true);

  const LANGID systemLanguage = ::GetSystemDefaultUILanguage();
  theLog.WriteFormat(L"OS language. %d", static_cast<int>(systemLanguage));
  if (systemLanguage == kItalianItaly || systemLanguage == kItalianSwitzerland) {
    theLog.WriteLine(L"1040 Os running Ie Setup", true);
    m_nExitCode = RunInstaller(kItalianInstaller, parameters);
    return FALSE;
  }

  // Where the notice would ask, a run that nobody may be watching takes OK's way without asking,
  // also where no one could see a window.
  if (m_options.ui != InstallerUi::kNotice) {
    theLog.WriteFormat(L"Dialog not shown (%s), running Iesetup(2057)",
                       InstallerUiName(m_options.ui));
    m_nExitCode = RunInstaller(kEnglishInstaller, parameters);
    return FALSE;
  }
  theLog.WriteLine(L"Running Dialog", true);
  m_nExitCode = RunNoticeDialog(_wtoi(language.c_str()), parameters);
  return FALSE;
}

// The notice that cannot be seen ends the run with the reason as its exit code, never with the
// link's -1 or a success, so that the installer does not take it for the user's answer.
int CbrantelApp::ReportNoticeNotShown(DWORD error) {
  theLog.WriteFormat(L"Can't show dialog, error: %d", static_cast<int>(error));
  return static_cast<int>(error);
}

int CbrantelApp::ExitInstance() {
  CWinApp::ExitInstance();
  return m_nExitCode;
}

// The notice is the main window while it is shown. Only the notice uses the common controls (its
// link's tool-tip): they are loaded for it and unloaded after it, so that the paths without a
// window load no more of the platform than they use.
int CbrantelApp::RunNoticeDialog(int language, const CString& ieParameters) {
  if (!NoticeCanBeSeen()) {
    return ReportNoticeNotShown(ERROR_REQUIRES_INTERACTIVE_WINDOWSTATION);
  }
  const ScopedModule commonControls = LoadCommonControls(ICC_WIN95_CLASSES);
  CbrantelDlg dialog;
  dialog.m_lang = language;
  dialog.m_ieParameters = ieParameters;
  m_pMainWnd = &dialog;
  const int result = static_cast<int>(dialog.DoModal());
  m_pMainWnd = nullptr;
  if (dialog.CreationError() != 0) return ReportNoticeNotShown(dialog.CreationError());
  return result;
}

// Static objects of one translation unit are constructed in the order they are defined: the
// application first, so that the DLL search path is narrowed before anything else runs (its
// options are read then), then the log, to the file the options name, whose header is therefore
// the first thing each run writes.
CbrantelApp theApp;
CLogToFile theLog(theApp.Options().logFile, SharedLogFile());
