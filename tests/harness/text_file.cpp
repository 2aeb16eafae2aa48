#include "tests/harness/text_file.h"

#include <windows.h>

#include "framework/unique_handle.h"

namespace {

bool WriteWith(const std::wstring& path, DWORD access, DWORD disposition,
               const std::string& bytes) {
  ScopedFileHandle file(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
         written == bytes.size();
}

}  // namespace

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
  ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::string content;
  char chunk[65536];
  DWORD read = 0;
  while (::ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) {
    content.append(chunk, read);
  }
  bytes.swap(content);
  return true;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  return WriteWith(path, GENERIC_WRITE, CREATE_ALWAYS, bytes);
}

bool AppendFileBytes(const std::wstring& path, const std::string& bytes) {
  return WriteWith(path, FILE_APPEND_DATA, OPEN_ALWAYS, bytes);
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size,
                        nullptr, nullptr);
  return bytes;
}

std::wstring FromUtf8(const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  const int size =
      ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], size);
  return text;
}

bool ReadUtf8File(const std::wstring& path, std::wstring& text) {
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) return false;
  text = FromUtf8(bytes);
  return true;
}

bool WriteUtf8File(const std::wstring& path, const std::wstring& text) {
  return WriteFileBytes(path, ToUtf8(text));
}

bool AppendUtf8File(const std::wstring& path, const std::wstring& text) {
  return AppendFileBytes(path, ToUtf8(text));
}
