// doctest as every test program uses it: the win32 thread model has no std::mutex.
#pragma once

#ifndef DOCTEST_CONFIG_NO_MULTITHREADING
#define DOCTEST_CONFIG_NO_MULTITHREADING
#endif
#include <doctest/doctest.h>

#include <ostream>
#include <string>

#include "framework/cstring.h"
#include "tests/harness/text_file.h"

// The program's texts against the tests' own.
inline std::wstring ToStd(const CString& text) { return std::wstring(text.c_str(), text.size()); }
inline CString ToCString(const std::wstring& text) { return CString(text.c_str(), text.size()); }
inline bool operator==(const CString& left, const std::wstring& right) {
  return left == ToCString(right);
}
inline bool operator==(const std::wstring& left, const CString& right) { return right == left; }
inline bool operator!=(const CString& left, const std::wstring& right) { return !(left == right); }
inline bool operator!=(const std::wstring& left, const CString& right) { return !(right == left); }

// Wide texts show as UTF-8 in failure messages.
namespace doctest {
template <>
struct StringMaker<std::wstring> {
  static String convert(const std::wstring& value) {
    return ("L\"" + ToUtf8(value) + "\"").c_str();
  }
};
template <>
struct StringMaker<CString> {
  static String convert(const CString& value) {
    return StringMaker<std::wstring>::convert(ToStd(value));
  }
};
}  // namespace doctest
