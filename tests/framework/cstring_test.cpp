// The program's own text and array types, and its allocation functions.
#include <windows.h>

#include <vector>

#include "framework/carray.h"
#include "framework/cstring.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/harness.h"

TEST_CASE("a text is always terminated and compares by its characters") {
  const CString empty;
  CHECK(empty.empty());
  CHECK(empty.c_str()[0] == L'\0');
  CHECK(CString(nullptr).empty());
  CHECK(empty == L"");

  const CString withNul(L"a\0b", 3);  // counted, not cut at the terminator
  CHECK(withNul.size() == 3);
  CHECK(withNul != L"a");
  CHECK(withNul == CString(L"a\0b", 3));
  CHECK(withNul != CString(L"a\0c", 3));

  CString grown;
  for (int i = 0; i < 1000; ++i) grown += L'x';
  CHECK(grown.size() == 1000);
  CHECK(grown.c_str()[1000] == L'\0');
  CHECK(grown == CString(1000, L'x'));
}

TEST_CASE("appending a text's own characters survives the buffer growing") {
  CString text(L"abc");
  text.append(text);
  CHECK(text == L"abcabc");
  for (int i = 0; i < 6; ++i) text.append(text.c_str() + 1, 2);
  CHECK(text == L"abcabcbcbcbcbcbcbc");
  text = text.c_str() + 12;  // assigning its own tail
  CHECK(text == L"bcbcbc");
  text = text;
  CHECK(text == L"bcbcbc");
}

TEST_CASE("searching, cutting and replacing at the edges") {
  const CString path(L"C:\\kit dir\\Brantel.exe");
  CHECK(path.find(L'\\') == 2);
  CHECK(path.find(L'\\', 3) == 10);
  CHECK(path.find(L'\\', 100) == CString::npos);
  CHECK(path.find(L"dir") == 7);
  CHECK(path.find(L"") == 0);
  CHECK(path.find(L"exe", path.size() - 3) == path.size() - 3);
  CHECK(path.find(L"exe", path.size() - 2) == CString::npos);
  CHECK(path.find(L"Brantel.exe and more") == CString::npos);
  CHECK(path.rfind(L'\\') == 10);
  CHECK(path.rfind(L'\\', 9) == 2);
  CHECK(path.rfind(L'\\', 2) == 2);
  CHECK(path.rfind(L'C', 0) == 0);
  CHECK(path.rfind(L'?') == CString::npos);
  CHECK(CString().rfind(L'a') == CString::npos);

  CHECK(path.substr(11) == L"Brantel.exe");
  CHECK(path.substr(0, 2) == L"C:");
  CHECK(path.substr(path.size()).empty());
  CHECK(path.substr(path.size() + 5).empty());
  CHECK(path.substr(20, 100) == L"xe");

  CString text(L"s% and s%");
  text.replace(0, 2, L"%s");
  CHECK(text == L"%s and s%");
  text.replace(7, 100, L"%s!");
  CHECK(text == L"%s and %s!");
  text.replace(100, 1, L"?");
  CHECK(text == L"%s and %s!?");
  text.erase(2, 5);
  CHECK(text == L"%s%s!?");
  text.erase(4);
  CHECK(text == L"%s%s");
  text.erase(10);
  CHECK(text == L"%s%s");

  text.resize(6, L'-');
  CHECK(text == L"%s%s--");
  text.resize(1);
  CHECK(text == L"%");
  CHECK(text.c_str()[1] == L'\0');
  text.clear();
  CHECK(text.empty());
  CHECK(text.c_str()[0] == L'\0');
}

TEST_CASE("copies and moves own their characters") {
  CString original(L"first");
  CString copy = original;
  original += L" changed";
  CHECK(copy == L"first");
  CString moved = std::move(original);
  CHECK(moved == L"first changed");
  CHECK(original.empty());  // NOLINT(bugprone-use-after-move): the state after a move is defined
  CHECK(original.c_str()[0] == L'\0');
  original = L"again";
  CHECK(original + L"!" + moved == L"again!first changed");
  CHECK(L"<" + CString(L"x") + L">" == L"<x>");
}

std::vector<DWORD> Values(const CArray<DWORD>& values) {
  return std::vector<DWORD>(values.begin(), values.end());
}

TEST_CASE("an array of plain values") {
  CArray<DWORD> values{1, 2, 3};
  for (int i = 0; i < 100; ++i) values.push_back(values[0]);  // an element of its own
  CHECK(values.size() == 103);
  CHECK(values[102] == 1);
  const CArray<DWORD> copy = values;
  values.resize(2);
  CHECK(Values(values) == std::vector<DWORD>{1, 2});
  CHECK(copy.size() == 103);
  values.resize(4);
  CHECK(Values(values) == std::vector<DWORD>{1, 2, 0, 0});
  CArray<char> bytes(3);
  CHECK(bytes[0] == 0);
  CHECK(bytes[2] == 0);
  CHECK(CArray<char>().empty());
}

TEST_CASE("memory running out ends the program with its error code, without a message") {
  const std::wstring program = BuildDirectory() + L"\\out_of_memory.exe";
  CHECK(RunAndWait(program, L"--nothrow") == 0);
  CHECK(RunAndWait(program, L"--text", 20000) == ERROR_NOT_ENOUGH_MEMORY);
  CHECK(RunAndWait(program, L"--new", 20000) == ERROR_NOT_ENOUGH_MEMORY);
  CHECK(RunAndWait(program, L"--length", 20000) == ERROR_NOT_ENOUGH_MEMORY);
}
