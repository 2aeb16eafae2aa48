#include "tests/harness/harness.h"

#include <shlobj.h>
#include <winternl.h>
#include <shlwapi.h>
#include <sddl.h>

#include <cstdint>
#include <cwctype>

#include "framework/unique_handle.h"
#include "tests/harness/text_file.h"
#include "tests/harness/doctest_config.h"

namespace {

constexpr wchar_t kSandboxRoot[] = L"C:\\brantel-tests";
constexpr wchar_t kNeedsBrowserVersion[] = L"7.0.6000.16386";
constexpr uintptr_t kHandleValuesCounted = 2048;
constexpr uintptr_t kHandleValueStep = 4;  // the low two bits of a handle value are not part of it

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

void CopyProgram(const std::wstring& from, const std::wstring& to) {
  REQUIRE_MESSAGE(::CopyFileW(from.c_str(), to.c_str(), FALSE), "cannot copy to ", ToUtf8(to));
}

ScopedRegKey CreateKey(const std::wstring& key) {
  ScopedRegKey handle;
  const LONG status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                                        KEY_ALL_ACCESS, nullptr, handle.receive(), nullptr);
  REQUIRE_MESSAGE(status == ERROR_SUCCESS, "cannot create ", ToUtf8(key));
  return handle;
}

}  // namespace

std::wstring BuildDirectory() {
  wchar_t path[MAX_PATH * 4] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  return FolderOf(std::wstring(path, length));
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

LANGID SystemUiLanguage() { return ::GetSystemDefaultUILanguage(); }

Sandbox::Sandbox(const std::wstring& name) {
  ::CreateDirectoryW(kSandboxRoot, nullptr);
  for (int n = 1;; ++n) {
    path_ = std::wstring(kSandboxRoot) + L"\\" + name + L"-" + std::to_wstring(n);
    if (::CreateDirectoryW(path_.c_str(), nullptr)) return;
    REQUIRE(::GetLastError() == ERROR_ALREADY_EXISTS);
  }
}

std::wstring Sandbox::InstallBrantel(const std::wstring& name) const {
  CopyProgram(BuildDirectory() + L"\\Brantel.exe", File(name));
  return File(name);
}

std::wstring Sandbox::InstallRecorder(const std::wstring& name, DWORD exitCode,
                                      const std::wstring& builtRecorder) const {
  InstallBuilt(builtRecorder, name);
  REQUIRE(WriteUtf8File(File(name) + L".exitcode", std::to_wstring(exitCode)));
  return File(name);
}

std::wstring Sandbox::InstallBuilt(const std::wstring& builtName, const std::wstring& name) const {
  CopyProgram(BuildDirectory() + L"\\" + builtName, File(name));
  return File(name);
}

void Sandbox::WriteBytes(const std::wstring& name, const std::string& bytes) const {
  REQUIRE(WriteFileBytes(File(name), bytes));
}

std::vector<RecorderRun> RecorderRuns(const std::wstring& recorderPath) {
  std::vector<RecorderRun> runs;
  std::wstring text;
  if (!ReadUtf8File(recorderPath + L".record", text)) return runs;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(L"\r\n", at);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = text.substr(at, end - at);
    at = end + 2;
    auto value = [&line](const wchar_t* key) { return line.substr(wcslen(key)); };
    if (line == L"run") {
      runs.emplace_back();
    } else if (!runs.empty() && line.rfind(L"command=", 0) == 0) {
      runs.back().commandLine = value(L"command=");
    } else if (!runs.empty() && line.rfind(L"workdir=", 0) == 0) {
      runs.back().workDir = value(L"workdir=");
    } else if (!runs.empty() && line.rfind(L"module=", 0) == 0) {
      runs.back().module = value(L"module=");
    }
  }
  return runs;
}

HANDLE StartProgram(const std::wstring& exePath, const std::wstring& args, DWORD* processId) {
  std::wstring commandLine = L"\"" + exePath + L"\"";
  if (!args.empty()) commandLine += L" " + args;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  REQUIRE_MESSAGE(::CreateProcessW(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                   nullptr, L"C:\\", &startup, &info),
                  "cannot start ", ToUtf8(exePath));
  ScopedHandle(info.hThread).reset();
  if (processId != nullptr) *processId = info.dwProcessId;
  return info.hProcess;
}

DWORD WaitForExit(HANDLE process, DWORD timeoutMs) {
  if (::WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
    ::TerminateProcess(process, 1);
    FAIL("program still running after ", timeoutMs, " ms");
  }
  DWORD exitCode = 0;
  REQUIRE(::GetExitCodeProcess(process, &exitCode));
  return exitCode;
}

DWORD RunAndWait(const std::wstring& exePath, const std::wstring& args, DWORD timeoutMs) {
  ScopedHandle process(StartProgram(exePath, args));
  return WaitForExit(process.get(), timeoutMs);
}

DWORD CountOpenHandles() {
  DWORD count = 0;
  for (uintptr_t value = kHandleValueStep; value <= kHandleValuesCounted * kHandleValueStep;
       value += kHandleValueStep) {
    DWORD flags = 0;
    if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

std::map<std::wstring, DWORD> CountOpenHandlesByKind() {
  using QueryObjectFn = LONG(NTAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<QueryObjectFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
  REQUIRE(reinterpret_cast<void*>(query) != nullptr);
  std::map<std::wstring, DWORD> counts;
  for (uintptr_t value = kHandleValueStep; value <= kHandleValuesCounted * kHandleValueStep;
       value += kHandleValueStep) {
    const HANDLE handle = reinterpret_cast<HANDLE>(value);
    DWORD flags = 0;
    if (!::GetHandleInformation(handle, &flags)) continue;
    // The type name follows the structure in the same buffer.
    alignas(PUBLIC_OBJECT_TYPE_INFORMATION) BYTE buffer[1024] = {};
    ULONG size = 0;
    std::wstring kind = L"?";
    if (query(handle, ObjectTypeInformation, buffer, sizeof(buffer), &size) >= 0) {
      const UNICODE_STRING& name =
          reinterpret_cast<PUBLIC_OBJECT_TYPE_INFORMATION*>(buffer)->TypeName;
      kind.assign(name.Buffer, name.Length / sizeof(wchar_t));
    }
    ++counts[kind];
  }
  return counts;
}

Machine::Machine() {
  ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, kMakerKey);
  SetBrowserVersion(kNeedsBrowserVersion);
}

void Machine::SetString(const std::wstring& key, const std::wstring& name,
                        const std::wstring& value, DWORD type) {
  const std::string bytes(reinterpret_cast<const char*>(value.c_str()),
                          (value.size() + 1) * sizeof(wchar_t));
  SetBinary(key, name, type, bytes);
}

void Machine::SetBinary(const std::wstring& key, const std::wstring& name, DWORD type,
                        const std::string& bytes) {
  ScopedRegKey handle = CreateKey(key);
  REQUIRE(::RegSetValueExW(handle.get(), name.c_str(), 0, type,
                           reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS);
}

void Machine::SetDword(const std::wstring& key, const std::wstring& name, DWORD value) {
  SetBinary(key, name, REG_DWORD,
            std::string(reinterpret_cast<const char*>(&value), sizeof(value)));
}

void Machine::DeleteValue(const std::wstring& key, const std::wstring& name) {
  ScopedRegKey handle = CreateKey(key);
  ::RegDeleteValueW(handle.get(), name.c_str());
}

KeySecurity::KeySecurity(const std::wstring& key, const wchar_t* sddl) : key_(key) {
  ScopedRegKey handle = CreateKey(key);
  DWORD size = 0;
  ::RegGetKeySecurity(handle.get(), DACL_SECURITY_INFORMATION, nullptr, &size);
  saved_.resize(size);
  REQUIRE(::RegGetKeySecurity(handle.get(), DACL_SECURITY_INFORMATION, &saved_[0], &size) ==
          ERROR_SUCCESS);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  REQUIRE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                                 nullptr));
  const LONG status = ::RegSetKeySecurity(handle.get(), DACL_SECURITY_INFORMATION, descriptor);
  ::LocalFree(descriptor);
  REQUIRE(status == ERROR_SUCCESS);
}

KeySecurity::~KeySecurity() {
  ScopedRegKey handle;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, WRITE_DAC, handle.receive()) ==
      ERROR_SUCCESS) {
    ::RegSetKeySecurity(handle.get(), DACL_SECURITY_INFORMATION, &saved_[0]);
  }
}

namespace {

LONG SetClassCommand(HKEY key, const std::wstring& value) {
  return ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

ClassCommand::ClassCommand(std::wstring key, const std::wstring& value) : key_(std::move(key)) {
  ScopedRegKey owned;
  REQUIRE(::RegCreateKeyExW(HKEY_CLASSES_ROOT, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            owned.receive(), nullptr) == ERROR_SUCCESS);
  wchar_t old[1024] = {};
  DWORD size = sizeof(old) - sizeof(wchar_t);
  had_ = ::RegQueryValueExW(owned.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(old),
                            &size) == ERROR_SUCCESS;
  old_ = old;
  REQUIRE(SetClassCommand(owned.get(), value) == ERROR_SUCCESS);
}

ClassCommand::~ClassCommand() {
  ScopedRegKey owned;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key_.c_str(), 0, KEY_ALL_ACCESS, owned.receive()) !=
      ERROR_SUCCESS) {
    return;
  }
  if (had_) {
    SetClassCommand(owned.get(), old_);
  } else {
    ::RegDeleteValueW(owned.get(), nullptr);
  }
}

std::wstring SharedLogPath() {
  wchar_t folder[MAX_PATH] = {};
  REQUIRE(SUCCEEDED(
      ::SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS, nullptr, SHGFP_TYPE_CURRENT, folder)));
  return std::wstring(folder) + L"\\Vorn.log";
}

LogReader::LogReader(std::wstring path) : path_(std::move(path)), start_(0) {
  std::string bytes;
  if (ReadFileBytes(path_, bytes)) start_ = bytes.size();
}

namespace {

std::vector<std::wstring> SplitLogLines(const std::string& bytes) {
  const std::wstring text = FromUtf8(bytes);
  std::vector<std::wstring> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find(L"\r\n", at);
    REQUIRE_MESSAGE(end != std::wstring::npos, "log ends inside a line");
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

}  // namespace

std::vector<std::wstring> ReadLogLines(const std::wstring& path) {
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) return {};
  return SplitLogLines(bytes);
}

std::vector<std::wstring> LogReader::NewLines() const {
  std::string bytes;
  if (!ReadFileBytes(path_, bytes) || bytes.size() < start_) return {};
  return SplitLogLines(bytes.substr(start_));
}

std::vector<std::wstring> LogReader::RunMessages() const {
  const std::vector<std::wstring> lines = NewLines();
  CheckHeader(lines, 0);
  std::vector<std::wstring> messages;
  for (size_t i = 5; i < lines.size(); ++i) {
    std::wstring text;
    REQUIRE_MESSAGE(ParseStampedLine(lines[i], text), "not a stamped line: ", ToUtf8(lines[i]));
    messages.push_back(text);
  }
  return messages;
}

bool ParseStampedLine(const std::wstring& line, std::wstring& text) {
  // "dd/mm/yyyy hh:mm:ss --> " then the text, then ".".
  static const wchar_t kShape[] = L"00/00/0000 00:00:00 --> ";
  const size_t stampLength = wcslen(kShape);
  if (line.size() < stampLength + 1 || line.back() != L'.') return false;
  for (size_t i = 0; i < stampLength; ++i) {
    const bool digit = std::iswdigit(line[i]) != 0;
    if (kShape[i] == L'0' ? !digit : line[i] != kShape[i]) return false;
  }
  text = line.substr(stampLength, line.size() - stampLength - 1);
  return true;
}

void CheckHeader(const std::vector<std::wstring>& lines, size_t first) {
  REQUIRE(lines.size() >= first + 5);
  CHECK(lines[first] == L".");
  CHECK(lines[first + 1] == L".");
  const std::wstring stars(63, L'*');
  std::wstring text;
  REQUIRE(ParseStampedLine(lines[first + 2], text));
  CHECK(text == stars);
  REQUIRE(ParseStampedLine(lines[first + 3], text));
  CHECK(text == L"SW: Brantel.exe");
  REQUIRE(ParseStampedLine(lines[first + 4], text));
  CHECK(text == stars);
}
