#include "ui/link_navigation.h"

#include <shellapi.h>

#include <cstring>

#include "framework/carray.h"
#include "framework/unique_handle.h"
#include "framework/win_app.h"
#include "framework/wnd.h"

namespace {

constexpr int kShellSuccessAbove = 32;
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

// The default value of a key under HKEY_CLASSES_ROOT, read as the fallback reads it.
bool ReadClassValue(const CString& subKey, CString& value) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  wchar_t buffer[kValueBufferChars];
  if (ReadDefaultValue(key, buffer) != ERROR_SUCCESS) return false;
  value = buffer;
  return true;
}

int RunFallback(const CString& url, int shellResult) {
  CString documentClass;
  if (!ReadClassValue(kDocumentExtension, documentClass)) return shellResult;
  const CString commandKey = documentClass + kOpenCommandPath;
  if (commandKey.size() >= kCommandBufferChars) return shellResult;
  CString commandTemplate;
  if (!ReadClassValue(commandKey, commandTemplate)) return shellResult;
  CString commandLine;
  if (!BuildFallbackCommand(commandTemplate, url, commandLine)) return shellResult;

  // WinExec takes the command line in the thread's ANSI code page.
  const int units = static_cast<int>(commandLine.size()) + 1;
  CArray<char> ansi(static_cast<size_t>(units) * 2);
  if (::WideCharToMultiByte(CP_THREAD_ACP, 0, commandLine.c_str(), units, ansi.data(),
                            static_cast<int>(ansi.size()), nullptr, nullptr) == 0) {
    return shellResult;
  }
  return static_cast<int>(::WinExec(ansi.data(), SW_SHOW));
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

int OpenLink(CWnd* link, const CString& url) {
  int result = static_cast<int>(reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOW)));
  if (static_cast<unsigned>(result) <= kShellSuccessAbove) result = RunFallback(url, result);
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

void ReportOpenError(int code) {
  // Owned by the main window, which is disabled while the message box is shown.
  CWinApp* app = AfxGetApp();
  HWND owner = app != nullptr && app->m_pMainWnd != nullptr ? app->m_pMainWnd->m_hWnd : nullptr;
  ::MessageBoxW(owner, OpenErrorMessage(code).c_str(), kMessageCaption, MB_OK | MB_ICONEXCLAMATION);
}
