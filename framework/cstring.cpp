#include "framework/cstring.h"

#include <windows.h>

#include <cwchar>
#include <utility>

namespace {

// The most characters a buffer can hold with its terminator without its size in bytes wrapping.
constexpr size_t kMaxCapacity = CString::npos / sizeof(wchar_t) - 1;

size_t Length(const wchar_t* text) { return text != nullptr ? wcslen(text) : 0; }

// A length past what the address space can hold ends the program as running out of memory does.
[[noreturn]] void TooLong() { ::ExitProcess(ERROR_NOT_ENOUGH_MEMORY); }

}  // namespace

CString::CString(const wchar_t* text) { append(text, Length(text)); }

CString::CString(const wchar_t* text, size_t count) { append(text, count); }

CString::CString(size_t count, wchar_t fill) { resize(count, fill); }

CString::CString(const CString& other) { append(other.c_str(), other.size_); }

CString::CString(CString&& other) noexcept
    : chars_(other.chars_), size_(other.size_), capacity_(other.capacity_) {
  other.chars_ = nullptr;
  other.size_ = 0;
  other.capacity_ = 0;
}

CString::~CString() { delete[] chars_; }

CString& CString::operator=(const CString& other) {
  if (this != &other) assign(other.c_str(), other.size_);
  return *this;
}

CString& CString::operator=(CString&& other) noexcept {
  if (this != &other) {
    delete[] chars_;
    chars_ = other.chars_;
    size_ = other.size_;
    capacity_ = other.capacity_;
    other.chars_ = nullptr;
    other.size_ = 0;
    other.capacity_ = 0;
  }
  return *this;
}

void CString::clear() {
  size_ = 0;
  if (chars_ != nullptr) chars_[0] = L'\0';
}

void CString::reserve(size_t capacity) {
  if (capacity <= capacity_) return;
  if (capacity > kMaxCapacity) TooLong();
  // Growing by half again keeps appending one character at a time linear.
  const size_t grown = capacity_ + capacity_ / 2;
  const size_t target = capacity < grown && grown <= kMaxCapacity ? grown : capacity;
  wchar_t* chars = new wchar_t[target + 1];
  wmemcpy(chars, c_str(), size_ + 1);
  delete[] chars_;
  chars_ = chars;
  capacity_ = target;
}

void CString::resize(size_t count, wchar_t fill) {
  if (count > size_) {
    reserve(count);
    wmemset(chars_ + size_, fill, count - size_);
  }
  size_ = count;
  if (chars_ != nullptr) chars_[size_] = L'\0';
}

CString& CString::assign(const wchar_t* text, size_t count) {
  // text may lie inside this string: copy it before the old characters go.
  if (text >= c_str() && text < c_str() + size_) {
    const CString copy(text, count);
    return assign(copy.c_str(), copy.size_);
  }
  clear();
  return append(text, count);
}

CString& CString::append(const wchar_t* text, size_t count) {
  if (count == 0) return *this;
  if (count > npos - size_) TooLong();
  if (text >= c_str() && text < c_str() + size_ && size_ + count > capacity_) {
    const CString copy(text, count);
    return append(copy.c_str(), copy.size_);
  }
  reserve(size_ + count);
  wmemmove(chars_ + size_, text, count);
  size_ += count;
  chars_[size_] = L'\0';
  return *this;
}

CString& CString::append(const wchar_t* text) { return append(text, Length(text)); }

CString& CString::erase(size_t position, size_t count) {
  if (position >= size_) return *this;
  if (count > size_ - position) count = size_ - position;
  wmemmove(chars_ + position, chars_ + position + count, size_ - position - count + 1);
  size_ -= count;
  return *this;
}

CString& CString::replace(size_t position, size_t count, const CString& text) {
  if (position > size_) position = size_;
  if (count > size_ - position) count = size_ - position;
  CString result(c_str(), position);
  result.append(text);
  result.append(c_str() + position + count, size_ - position - count);
  return *this = std::move(result);
}

CString CString::substr(size_t position, size_t count) const {
  if (position >= size_) return CString();
  if (count > size_ - position) count = size_ - position;
  return CString(c_str() + position, count);
}

size_t CString::find(wchar_t character, size_t from) const {
  for (size_t i = from; i < size_; ++i) {
    if (c_str()[i] == character) return i;
  }
  return npos;
}

size_t CString::find(const CString& text, size_t from) const {
  if (from > size_ || text.size_ > size_ - from) return npos;
  for (size_t i = from; i + text.size_ <= size_; ++i) {
    if (wmemcmp(c_str() + i, text.c_str(), text.size_) == 0) return i;
  }
  return npos;
}

size_t CString::rfind(wchar_t character, size_t before) const {
  if (size_ == 0) return npos;
  for (size_t i = before < size_ ? before + 1 : size_; i-- > 0;) {
    if (c_str()[i] == character) return i;
  }
  return npos;
}

bool operator==(const CString& left, const CString& right) {
  return left.size() == right.size() && wmemcmp(left.c_str(), right.c_str(), left.size()) == 0;
}

bool operator==(const CString& left, const wchar_t* right) {
  const size_t length = Length(right);
  return left.size() == length && wmemcmp(left.c_str(), right, length) == 0;
}

CString operator+(const CString& left, const CString& right) { return CString(left).append(right); }

CString operator+(const CString& left, const wchar_t* right) { return CString(left).append(right); }

CString operator+(const wchar_t* left, const CString& right) { return CString(left).append(right); }

CString operator+(CString&& left, const CString& right) { return std::move(left.append(right)); }

CString operator+(CString&& left, const wchar_t* right) { return std::move(left.append(right)); }
