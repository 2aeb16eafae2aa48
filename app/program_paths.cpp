#include "app/program_paths.h"

#include <windows.h>

#include <vector>

namespace {

constexpr size_t kProgramDirectoryChars = 4096;
constexpr size_t kModuleDirectoryChars = 1024;
constexpr size_t kSettingsPathChars = 1024;
constexpr wchar_t kSettingsSection[] = L"IE";
constexpr DWORD kSettingsValueChars = 4096;

}  // namespace

std::wstring ReadProgramFilePath(size_t maxChars) {
  std::vector<wchar_t> buffer(maxChars, L'\0');
  // A path that does not fit comes back cut: without a terminator on Windows XP, with one in the
  // last unit on later systems.
  const DWORD length =
      ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::wstring(buffer.data(), wcsnlen(buffer.data(), length));
}

std::wstring GetParentDirectory(const std::wstring& path) {
  const size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring GetProgramDirectory() {
  return GetParentDirectory(ReadProgramFilePath(kProgramDirectoryChars));
}

std::wstring GetModuleDirectory() {
  return GetParentDirectory(ReadProgramFilePath(kModuleDirectoryChars));
}

std::wstring SettingsPathFor(std::wstring programPath) {
  if (!programPath.empty()) {
    ::CharUpperBuffW(&programPath[0], static_cast<DWORD>(programPath.size()));
  }
  const std::wstring from = L".EXE";
  const std::wstring to = L".INI";
  for (size_t at = programPath.find(from); at != std::wstring::npos;
       at = programPath.find(from, at + to.size())) {
    programPath.replace(at, from.size(), to);
  }
  return programPath;
}

std::wstring GetSettingsFilePath() {
  return SettingsPathFor(ReadProgramFilePath(kSettingsPathChars));
}

std::wstring ReadSetting(const wchar_t* key, const wchar_t* defaultValue) {
  std::vector<wchar_t> value(kSettingsValueChars, L'\0');
  const DWORD length =
      ::GetPrivateProfileStringW(kSettingsSection, key, defaultValue, value.data(),
                                 kSettingsValueChars, GetSettingsFilePath().c_str());
  return std::wstring(value.data(), length);
}
