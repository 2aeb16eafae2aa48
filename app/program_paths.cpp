#include "app/program_paths.h"

#include <windows.h>

namespace {

constexpr size_t kProgramDirectoryChars = 4096;
constexpr size_t kModuleDirectoryChars = 1024;
constexpr size_t kSettingsPathChars = 1024;
constexpr wchar_t kSettingsSection[] = L"IE";
constexpr DWORD kSettingsValueChars = 4096;

}  // namespace

CString ReadProgramFilePath(size_t maxChars) {
  CString buffer(maxChars, L'\0');
  // A path that does not fit comes back cut: without a terminator on Windows XP, with one in the
  // last unit on later systems.
  const DWORD length =
      ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return CString(buffer.data(), wcsnlen(buffer.data(), length));
}

CString GetParentDirectory(const CString& path) {
  const size_t slash = path.rfind(L'\\');
  return slash == CString::npos ? CString() : path.substr(0, slash);
}

CString GetProgramDirectory() {
  return GetParentDirectory(ReadProgramFilePath(kProgramDirectoryChars));
}

CString GetModuleDirectory() {
  return GetParentDirectory(ReadProgramFilePath(kModuleDirectoryChars));
}

CString SettingsPathFor(CString programPath) {
  if (!programPath.empty()) {
    ::CharUpperBuffW(&programPath[0], static_cast<DWORD>(programPath.size()));
  }
  // Only the file's own extension: a folder named "Kit.exe files" keeps its name.
  const CString from = L".EXE";
  const size_t at = programPath.size() - from.size();
  if (programPath.size() >= from.size() && programPath.substr(at) == from) {
    programPath.replace(at, from.size(), L".INI");
  }
  return programPath;
}

CString GetSettingsFilePath() { return SettingsPathFor(ReadProgramFilePath(kSettingsPathChars)); }

CString ReadSetting(const wchar_t* key, const wchar_t* defaultValue) {
  CString value(kSettingsValueChars, L'\0');
  const DWORD length =
      ::GetPrivateProfileStringW(kSettingsSection, key, defaultValue, value.data(),
                                 kSettingsValueChars, GetSettingsFilePath().c_str());
  return CString(value.data(), length);
}
