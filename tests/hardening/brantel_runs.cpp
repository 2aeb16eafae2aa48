#include "tests/hardening/brantel_runs.h"

#include "framework/unique_handle.h"
#include "tests/harness/dialog_driver.h"
#include "tests/harness/doctest_config.h"

const std::wstring kDefaultParameters = L"/passive /update-no /norestart";

namespace {

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  // Backslashes count only before a quotation mark: there they are doubled, and the mark is
  // escaped with one more.
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

}  // namespace

std::wstring CommandLineFor(const Lines& arguments) {
  std::wstring line;
  for (const std::wstring& argument : arguments) {
    if (!line.empty()) line += L' ';
    line += QuoteArgument(argument);
  }
  return line;
}

namespace {

constexpr wchar_t kDebuggerKey[] = L"Software\\Wine\\WineDbg";
constexpr wchar_t kCrashDialogValue[] = L"ShowCrashDialog";

}  // namespace

CrashDialogOff::CrashDialogOff() {
  REQUIRE(::RegCreateKeyExW(HKEY_CURRENT_USER, kDebuggerKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            key_.receive(), nullptr) == ERROR_SUCCESS);
  DWORD size = sizeof(old_);
  had_ = ::RegQueryValueExW(key_.get(), kCrashDialogValue, nullptr, nullptr,
                            reinterpret_cast<BYTE*>(&old_), &size) == ERROR_SUCCESS;
  Set(0);
}

CrashDialogOff::~CrashDialogOff() {
  if (had_) {
    Set(old_);
  } else {
    ::RegDeleteValueW(key_.get(), kCrashDialogValue);
  }
}

void CrashDialogOff::Set(DWORD value) {
  ::RegSetValueExW(key_.get(), kCrashDialogValue, 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

namespace {

// Ends the program when a check gives up on it, so that no run outlives its test.
class EndsOnFailure {
 public:
  explicit EndsOnFailure(HANDLE process) : process_(process) {}
  ~EndsOnFailure() {
    if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) ::TerminateProcess(process_, 1);
  }
  EndsOnFailure(const EndsOnFailure&) = delete;
  EndsOnFailure& operator=(const EndsOnFailure&) = delete;

 private:
  HANDLE process_;
};

}  // namespace

Outcome RunToEnd(const std::wstring& exe, const std::wstring& args, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  CrashDialogOff noCrashDialog;
  ScopedHandle process(StartProgram(exe, args));
  EndsOnFailure guard(process.get());
  Outcome outcome;
  const HWND notice = WaitForDialogOrExit(process.get(), timeoutMs);
  if (notice != nullptr) {
    outcome.noticeShown = true;
    ::SendMessageW(::GetDlgItem(notice, IDOK), BM_CLICK, 0, 0);
  }
  const DWORD spent = ::GetTickCount() - start;
  outcome.exitCode = WaitForExit(process.get(), spent < timeoutMs ? timeoutMs - spent : 1);
  return outcome;
}

Lines Concat(Lines head, const Lines& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

Lines Preamble(const std::wstring& exe, const Lines& arguments, const Lines& languageLines,
               const std::wstring& parameters) {
  std::wstring args = L"Args: " + exe + L" ";
  for (const std::wstring& argument : arguments) args += argument + L" ";
  Lines lines{args};
  lines.insert(lines.end(), languageLines.begin(), languageLines.end());
  lines.push_back(L"IEParameters: " + parameters);
  return lines;
}

Lines PresentLines() { return {L"IE8 Already installed"}; }

namespace {

std::wstring RunningLine(const Kit& kit, const std::wstring& parameters) {
  return L"Running process: " + kit.English() + L", Wdir: " + kit.Folder() + L", Args: " +
         parameters;
}

}  // namespace

Lines EmbeddedLines(const Kit& kit, int exitCode, const std::wstring& parameters) {
  return {L"IE8 Not installed", L"Embedded system", RunningLine(kit, parameters),
          L"Process returned code: " + std::to_wstring(exitCode)};
}

Lines EmbeddedStartFailedLines(const Kit& kit, DWORD error, const std::wstring& parameters) {
  return {L"IE8 Not installed", L"Embedded system", RunningLine(kit, parameters),
          L"Can't run process, error: " + std::to_wstring(static_cast<int>(error))};
}

Lines NoticeLines(const Kit& kit, int exitCode, const std::wstring& parameters) {
  return {L"IE8 Not installed",
          L"Not Embedded",
          L"OS language. " + std::to_wstring(SystemUiLanguage()),
          L"Running Dialog",
          L"Clicked \"Ok\", running Iesetup(2057)",
          RunningLine(kit, parameters),
          L"Process returned code: " + std::to_wstring(exitCode)};
}

DWORD StartError(const std::wstring& path) {
  std::wstring commandLine = L"\"" + path + L"\" ";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (::CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                       CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &info)) {
    ScopedHandle(info.hThread).reset();
    ScopedHandle process(info.hProcess);
    ::TerminateProcess(process.get(), 1);
    FAIL("the platform started ", ToUtf8(path));
  }
  return ::GetLastError();
}
