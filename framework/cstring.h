// The program's text: a wide string that owns its characters, with the part of std::wstring's
// interface the program uses. The program is built without exceptions and without the standard
// library's strings and containers, whose error paths bring the runtime's whole exception
// machinery into the executable (some 250 KiB, more than the program itself). Memory runs out
// only as a fatal end of the process (framework/allocation.cpp), never as an error to handle.
#pragma once

#include <cstddef>

class CString {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);

  CString() noexcept {}
  // From a null-terminated text; null is the empty text.
  CString(const wchar_t* text);
  CString(const wchar_t* text, size_t count);
  CString(size_t count, wchar_t fill);
  CString(const CString& other);
  CString(CString&& other) noexcept;
  ~CString();
  CString& operator=(const CString& other);
  CString& operator=(CString&& other) noexcept;

  // Always null-terminated, also when empty.
  const wchar_t* c_str() const { return chars_ != nullptr ? chars_ : &terminator_; }
  const wchar_t* data() const { return c_str(); }
  // size() writable characters and the terminator; the terminator must stay 0.
  wchar_t* data() { return chars_ != nullptr ? chars_ : &terminator_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  wchar_t& operator[](size_t index) { return data()[index]; }
  const wchar_t& operator[](size_t index) const { return c_str()[index]; }
  wchar_t back() const { return c_str()[size_ - 1]; }
  const wchar_t* begin() const { return c_str(); }
  const wchar_t* end() const { return c_str() + size_; }

  void clear();
  void reserve(size_t capacity);
  // Grows with fill characters or cuts to count.
  void resize(size_t count, wchar_t fill = L'\0');
  CString& assign(const wchar_t* text, size_t count);
  CString& append(const wchar_t* text, size_t count);
  CString& append(const wchar_t* text);
  CString& append(const CString& text) { return append(text.c_str(), text.size()); }
  CString& operator+=(const CString& text) { return append(text); }
  CString& operator+=(const wchar_t* text) { return append(text); }
  CString& operator+=(wchar_t character) { return append(&character, 1); }
  void push_back(wchar_t character) { append(&character, 1); }
  // Removes up to count characters from position (clamped to the end).
  CString& erase(size_t position, size_t count = npos);
  // Replaces up to count characters from position (clamped) with text.
  CString& replace(size_t position, size_t count, const CString& text);
  // Up to count characters from position; position past the end gives the empty text.
  CString substr(size_t position, size_t count = npos) const;

  size_t find(wchar_t character, size_t from = 0) const;
  size_t find(const CString& text, size_t from = 0) const;
  size_t find(const wchar_t* text, size_t from = 0) const { return find(CString(text), from); }
  size_t rfind(wchar_t character, size_t before = npos) const;

 private:
  // The buffer holds capacity_ characters and a terminator; null while nothing was stored.
  wchar_t* chars_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  // What an empty text without a buffer points to; always 0.
  wchar_t terminator_ = L'\0';
};

bool operator==(const CString& left, const CString& right);
bool operator==(const CString& left, const wchar_t* right);
inline bool operator==(const wchar_t* left, const CString& right) { return right == left; }
inline bool operator!=(const CString& left, const CString& right) { return !(left == right); }
inline bool operator!=(const CString& left, const wchar_t* right) { return !(left == right); }
inline bool operator!=(const wchar_t* left, const CString& right) { return !(right == left); }

CString operator+(const CString& left, const CString& right);
CString operator+(const CString& left, const wchar_t* right);
CString operator+(const wchar_t* left, const CString& right);
CString operator+(CString&& left, const CString& right);
CString operator+(CString&& left, const wchar_t* right);
