// doctest as every test program uses it: the win32 thread model has no std::mutex.
#pragma once

#ifndef DOCTEST_CONFIG_NO_MULTITHREADING
#define DOCTEST_CONFIG_NO_MULTITHREADING
#endif
#include <doctest/doctest.h>

#include <ostream>
#include <string>

#include "tests/harness/text_file.h"

// Wide texts show as UTF-8 in failure messages.
namespace doctest {
template <>
struct StringMaker<std::wstring> {
  static String convert(const std::wstring& value) {
    return ("L\"" + ToUtf8(value) + "\"").c_str();
  }
};
}  // namespace doctest
