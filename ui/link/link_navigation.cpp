#include "ui/link/link_navigation.h"

#include <shellapi.h>
#include <shldisp.h>

#include <cstring>

#include "framework/apartment.h"
#include "framework/carray.h"
#include "framework/unique_handle.h"
#include "framework/win_app.h"
#include "framework/wnd.h"
#include "log/log_to_file.h"
#include "ui/link/desktop_user.h"

namespace {

constexpr int kShellSuccessAbove = 32;
// What OpenLink returns for a page that another process started: a success.
constexpr int kOpenedElsewhere = kShellSuccessAbove + 1;
constexpr wchar_t kDocumentExtension[] = L".htm";
constexpr wchar_t kOpenCommandPath[] = L"\\shell\\open\\command";
constexpr wchar_t kMessageCaption[] = L"Brantel";
// "-2147483648" and its terminator.
constexpr size_t kDecimalIntChars = 12;

struct ErrorText {
  int code;
  const wchar_t* text;
};

constexpr ErrorText kErrorTexts[] = {
    {0, L"The operating system is out\nof memory or resources."},
    {2, L"The specified file was not found."},
    {3, L"The specified path was not found."},
    {5, L"The operating system denied\naccess to the specified file."},
    {8, L"There was not enough memory to complete the operation."},
    {11, L"The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
    {26, L"A sharing violation occurred. "},
    {27, L"The filename association is\nincomplete or invalid."},
    {28, L"The DDE transaction could not\nbe completed because the request timed out."},
    {29, L"The DDE transaction failed."},
    {30,
     L"The DDE transaction could not\nbe completed because other DDE transactions\nwere being "
     L"processed."},
    {31, L"There is no application associated\nwith the given filename extension."},
    {32, L"The specified dynamic-link library was not found."},
};

// Owned by the main window, which is disabled while the message box is shown.
void ShowMessage(const CString& text) {
  CWinApp* app = AfxGetApp();
  HWND owner = app != nullptr && app->m_pMainWnd != nullptr ? app->m_pMainWnd->m_hWnd : nullptr;
  ::MessageBoxW(owner, text.c_str(), kMessageCaption, MB_OK | MB_ICONEXCLAMATION);
}

// The default value of a key under root, read as the fallback reads it.
bool ReadClassValue(HKEY root, const CString& subKey, CString& value) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return false;
  }
  wchar_t buffer[kValueBufferChars];
  if (ReadDefaultValue(key, buffer) != ERROR_SUCCESS) return false;
  value = buffer;
  return true;
}

// The command line that opens url with the ".htm" document's open command of a classes root
// (HKEY_CLASSES_ROOT, or a user's); false where none is registered or it does not fit.
bool FallbackCommandLine(HKEY classes, const CString& url, CString& commandLine) {
  CString documentClass;
  if (!ReadClassValue(classes, kDocumentExtension, documentClass)) return false;
  const CString commandKey = documentClass + kOpenCommandPath;
  if (commandKey.size() >= kCommandBufferChars) return false;
  CString commandTemplate;
  return ReadClassValue(classes, commandKey, commandTemplate) &&
         BuildFallbackCommand(commandTemplate, url, commandLine);
}

// With this process's rights, as the shell and the ".htm" command would for the user.
int OpenHere(const CString& url) {
  const int result = static_cast<int>(reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOW)));
  if (static_cast<unsigned>(result) > kShellSuccessAbove) return result;
  CString commandLine;
  if (!FallbackCommandLine(HKEY_CLASSES_ROOT, url, commandLine)) return result;
  // WinExec takes the command line in the thread's ANSI code page.
  const int units = static_cast<int>(commandLine.size()) + 1;
  CArray<char> ansi(static_cast<size_t>(units) * 2);
  if (::WideCharToMultiByte(CP_THREAD_ACP, 0, commandLine.c_str(), units, ansi.data(),
                            static_cast<int>(ansi.size()), nullptr, nullptr) == 0) {
    return result;
  }
  return static_cast<int>(::WinExec(ansi.data(), SW_SHOW));
}

// The shell's error code for the desktop's shell's refusal: the platform's own where it is one of
// them, SE_ERR_NOASSOC where no program is registered, else the HRESULT. Wine's shell refuses with
// S_FALSE and no reason: the commonest one, no program for the address.
int ShellErrorCode(HRESULT refusal) {
  if (refusal == S_FALSE) return SE_ERR_NOASSOC;
  if (HRESULT_FACILITY(refusal) != FACILITY_WIN32) return static_cast<int>(refusal);
  const int error = HRESULT_CODE(refusal);
  if (error == ERROR_NO_ASSOCIATION) return SE_ERR_NOASSOC;
  return error <= kShellSuccessAbove ? error : static_cast<int>(refusal);
}

// Elevated: the desktop's shell runs the address, and where it refuses, the ".htm" command, as the
// desktop's user.
int OpenThroughDesktop(const CString& url) {
  HRESULT why = S_OK;
  const ScopedComPtr<IShellDispatch2> shell = FindDesktopShell(&why);
  if (!shell) {
    theLog.WriteFormat(L"Can't open link as the desktop's user, error: 0x%08lX",
                       static_cast<unsigned long>(why));
    return OpenHere(url);
  }
  // Only S_OK is success: the method's documentation promises it, and Wine's shell answers a
  // refusal with S_FALSE.
  HRESULT opened = ShellExecuteOnDesktop(shell.get(), url, CString());
  CString commandLine, program, parameters;
  if (opened != S_OK && FallbackCommandLine(HKEY_CLASSES_ROOT, url, commandLine)) {
    SplitCommandLine(commandLine, program, parameters);
    opened = ShellExecuteOnDesktop(shell.get(), program, parameters);
  }
  return opened == S_OK ? kOpenedElsewhere : ShellErrorCode(opened);
}

// A full path: from a drive's root, or a network share's.
bool IsFullPath(const CString& path) {
  return (path.size() > 2 && path[1] == L':' && path[2] == L'\\') ||
         (path.size() > 1 && path[0] == L'\\' && path[1] == L'\\');
}

// The system account or a service account: the ".htm" command registered for the session's
// signed-in user, started as that user; never the page with this process's rights.
int OpenAsSessionUser(const CString& url) {
  DWORD error = ERROR_NO_ASSOCIATION;
  const ScopedHandle user = SessionUserToken(&error);
  ScopedRegKey classes;
  CString commandLine, program, parameters;
  if (user) {
    error = static_cast<DWORD>(
        ::RegOpenUserClassesRoot(user.get(), 0, KEY_QUERY_VALUE, classes.receive()));
  }
  if (classes) {
    error = ERROR_NO_ASSOCIATION;
    if (FallbackCommandLine(classes.get(), url, commandLine)) {
      SplitCommandLine(commandLine, program, parameters);
      // The platform never searches for a program that is not given by its full path.
      error = IsFullPath(program) ? StartAsUser(user.get(), program, commandLine)
                                  : static_cast<DWORD>(ERROR_BAD_PATHNAME);
    }
  }
  if (classes && error == ERROR_SUCCESS) return kOpenedElsewhere;
  theLog.WriteFormat(L"Can't open link as the signed-in user, error: %d", static_cast<int>(error));
  return kPageLeftToUser;
}

}  // namespace

LONG ReadDefaultValue(HKEY key, wchar_t* destination) {
  ScopedRegKey owned(key);
  // One spare unit, so that a value stored without its terminator can still be terminated.
  wchar_t value[kValueBufferChars + 1] = {};
  DWORD type = REG_NONE;
  DWORD size = kValueBufferChars * sizeof(wchar_t);
  const LONG status = ::RegQueryValueExW(owned.get(), nullptr, nullptr, &type,
                                         reinterpret_cast<BYTE*>(value), &size);
  if (status != ERROR_SUCCESS) return status;  // absent, or longer than the buffer
  if (type != REG_SZ) return ERROR_INVALID_DATA;
  const size_t length = wcsnlen(value, size / sizeof(wchar_t));
  if (length >= kValueBufferChars) return ERROR_MORE_DATA;
  std::memcpy(destination, value, (length + 1) * sizeof(wchar_t));
  return ERROR_SUCCESS;
}

bool BuildFallbackCommand(const CString& commandTemplate, const CString& url,
                          CString& commandLine) {
  CString command = commandTemplate;
  size_t cut = command.find(L"\"%1\"");
  if (cut == CString::npos) cut = command.find(L"%1");
  if (cut != CString::npos) command.erase(cut);
  command += L" ";
  command += url;
  if (command.size() >= kCommandBufferChars) return false;
  commandLine = command;
  return true;
}

void SplitCommandLine(const CString& commandLine, CString& program, CString& parameters) {
  const bool quoted = !commandLine.empty() && commandLine[0] == L'"';
  size_t end = commandLine.find(quoted ? L'"' : L' ', quoted ? 1 : 0);
  if (end == CString::npos) end = commandLine.size();
  program = commandLine.substr(quoted ? 1 : 0, end - (quoted ? 1 : 0));
  size_t rest = end + (quoted ? 1 : 0);
  while (rest < commandLine.size() && commandLine[rest] == L' ') ++rest;
  parameters = commandLine.substr(rest);
}

int OpenLink(CWnd* link, const CString& url) {
  JoinApartment();
  int result = 0;
  switch (ChoosePageOpener()) {
    case PageOpener::kSessionUser:
      result = OpenAsSessionUser(url);
      break;
    case PageOpener::kDesktopShell:
      result = OpenThroughDesktop(url);
      break;
    case PageOpener::kThisProcess:
      result = OpenHere(url);
      break;
  }
  ::PostMessageW(::GetParent(link->m_hWnd), WM_LINK_OPENED, 0, 0);
  return result;
}

CString OpenErrorMessage(int code) {
  CString text;
  for (const ErrorText& entry : kErrorTexts) {
    if (entry.code == code) text = entry.text;
  }
  if (text.empty()) {
    // The system's formatter: the toolchain's own wide printf adds about 12 KB to the program.
    wchar_t number[kDecimalIntChars];
    ::wsprintfW(number, L"%d", code);
    text = L"Unknown Error (" + CString(number) + L") occurred.";
  }
  return L"Unable to open hyperlink:\n\n" + text;
}

void ReportOpenError(int code) { ShowMessage(OpenErrorMessage(code)); }

void ReportAddress(const CString& url) {
  ShowMessage(
      L"This installation runs under a system account, which opens no web pages. To open "
      L"the page, enter its address in your browser:\n\n" +
      url);
}
