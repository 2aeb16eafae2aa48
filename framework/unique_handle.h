// One owner for every kernel, registry, module and GDI handle and COM reference the program holds.
#pragma once

#include <windows.h>

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept : handle_(Traits::Invalid()) {}
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  Handle release() noexcept {
    Handle handle = handle_;
    handle_ = Traits::Invalid();
    return handle;
  }

  void reset(Handle handle = Traits::Invalid()) noexcept {
    if (valid()) Traits::Close(handle_);
    handle_ = handle;
  }

  // For platform calls that return a new handle through a pointer; whatever was held is closed.
  Handle* receive() noexcept {
    reset();
    return &handle_;
  }

 private:
  Handle handle_;
};

// Handles whose "none" value is null: processes, threads, OpenProcess, CreateProcess.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};

// Handles whose "none" value is INVALID_HANDLE_VALUE: CreateFile, CreateToolhelp32Snapshot.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle key) noexcept { ::RegCloseKey(key); }
};

struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle module) noexcept { ::FreeLibrary(module); }
};

// Fonts, regions and the other objects that DeleteObject frees.
template <typename Object>
struct GdiObjectTraits {
  using Handle = Object;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle object) noexcept { ::DeleteObject(object); }
};

struct IconTraits {
  using Handle = HICON;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle icon) noexcept { ::DestroyIcon(icon); }
};

// A reference to a COM object, released once.
template <typename Interface>
struct ComTraits {
  using Handle = Interface*;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle object) noexcept { object->Release(); }
};

using ScopedHandle = UniqueHandle<KernelHandleTraits>;
using ScopedFileHandle = UniqueHandle<FileHandleTraits>;
using ScopedRegKey = UniqueHandle<RegKeyTraits>;
using ScopedModule = UniqueHandle<ModuleTraits>;
using ScopedFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using ScopedRegion = UniqueHandle<GdiObjectTraits<HRGN>>;
// Icons and cursors alike: a cursor made by CopyIcon is destroyed as an icon.
using ScopedIcon = UniqueHandle<IconTraits>;
template <typename Interface>
using ScopedComPtr = UniqueHandle<ComTraits<Interface>>;
