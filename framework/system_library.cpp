#include "framework/system_library.h"

#include <windows.h>

ScopedModule LoadSystemLibrary(const CString& fileName) {
  // The first call asks for the size (terminator included), the second fills the buffer and
  // returns the length without it.
  const UINT size = ::GetSystemDirectoryW(nullptr, 0);
  if (size == 0) return ScopedModule();
  CString folder(size, L'\0');
  const UINT length = ::GetSystemDirectoryW(folder.data(), size);
  if (length == 0 || length >= size) return ScopedModule();
  CString path(folder.data(), length);
  if (path.back() != L'\\') path += L'\\';
  path += fileName;
  return ScopedModule(::LoadLibraryW(path.c_str()));
}
