// Whole-file helpers of the test programs: UTF-8 on disk, UTF-16 in memory.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

inline std::string ToUtf8(const std::wstring& text) {
  std::string bytes(text.size() * 3, '\0');
  bytes.resize(static_cast<size_t>(
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0],
                            static_cast<int>(bytes.size()), nullptr, nullptr)));
  return bytes;
}

inline std::wstring FromUtf8(const std::string& bytes) {
  std::wstring text(bytes.size(), L'\0');
  text.resize(static_cast<size_t>(::MultiByteToWideChar(CP_UTF8, 0, bytes.data(),
                                                        static_cast<int>(bytes.size()), &text[0],
                                                        static_cast<int>(text.size()))));
  return text;
}

// The file's text, or the empty text when it cannot be read.
inline std::wstring ReadUtf8(const std::wstring& path) {
  std::string bytes;
  if (FILE* file = _wfopen(path.c_str(), L"rb")) {
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, n);
    std::fclose(file);
  }
  return FromUtf8(bytes);
}

inline void AppendUtf8(const std::wstring& path, const std::wstring& text) {
  if (FILE* file = _wfopen(path.c_str(), L"ab")) {
    const std::string bytes = ToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
}
