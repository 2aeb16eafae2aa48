// A growable array of plain values (characters, bytes, small records) for a program built without
// the standard library's containers (see framework/cstring.h).
#pragma once

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <type_traits>

template <typename T>
class CArray {
  static_assert(std::is_trivially_copyable<T>::value, "CArray holds plain values only");

 public:
  CArray() noexcept {}
  // count value-initialised (zero) elements.
  explicit CArray(size_t count) { resize(count); }
  CArray(std::initializer_list<T> values) {
    for (const T& value : values) push_back(value);
  }
  CArray(const CArray& other) { Append(other.items_, other.size_); }
  CArray(CArray&& other) noexcept
      : items_(other.items_), size_(other.size_), capacity_(other.capacity_) {
    other.items_ = nullptr;
    other.size_ = other.capacity_ = 0;
  }
  ~CArray() { delete[] items_; }
  CArray& operator=(CArray other) noexcept {
    Swap(other);
    return *this;
  }

  T* data() { return items_; }
  const T* data() const { return items_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](size_t index) { return items_[index]; }
  const T& operator[](size_t index) const { return items_[index]; }
  T* begin() { return items_; }
  T* end() { return items_ + size_; }
  const T* begin() const { return items_; }
  const T* end() const { return items_ + size_; }

  void push_back(const T& value) {
    const T copy = value;  // value may be an element that growing moves
    Reserve(size_ + 1);
    items_[size_++] = copy;
  }
  // Grows with zero elements or cuts to count.
  void resize(size_t count) {
    if (count > size_) {
      Reserve(count);
      for (size_t i = size_; i < count; ++i) items_[i] = T();
    }
    size_ = count;
  }

 private:
  void Reserve(size_t capacity) {
    if (capacity <= capacity_) return;
    const size_t grown = capacity_ + capacity_ / 2;
    const size_t target = capacity < grown ? grown : capacity;
    T* items = new T[target];
    if (size_ != 0) std::memcpy(items, items_, size_ * sizeof(T));
    delete[] items_;
    items_ = items;
    capacity_ = target;
  }
  void Append(const T* values, size_t count) {
    Reserve(size_ + count);
    if (count != 0) std::memcpy(items_ + size_, values, count * sizeof(T));
    size_ += count;
  }
  void Swap(CArray& other) noexcept {
    T* items = items_;
    items_ = other.items_;
    other.items_ = items;
    const size_t size = size_;
    size_ = other.size_;
    other.size_ = size;
    const size_t capacity = capacity_;
    capacity_ = other.capacity_;
    other.capacity_ = capacity;
  }

  T* items_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};
