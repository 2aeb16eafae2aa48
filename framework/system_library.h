// Loads a library from the system folder by its full path, never through the search path.
#pragma once

#include "framework/cstring.h"
#include "framework/unique_handle.h"

// Loads fileName (a bare file name such as "version.dll") from the system folder. A library that
// is not a KnownDLL would otherwise be looked for in the program's own folder first, where an
// installer's download folder may hold a planted copy. Returns no module when the system folder
// cannot be read or the library cannot be loaded.
ScopedModule LoadSystemLibrary(const CString& fileName);

// The address of an exported function as the caller's function-pointer type, or null; the module
// may be one the caller does not own (kernel32's, from GetModuleHandleW).
template <typename Function>
Function GetLibraryFunction(HMODULE library, const char* name) {
  if (library == nullptr) return nullptr;
  // FARPROC to any other function type goes through void*, which the compiler does not warn on.
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}
template <typename Function>
Function GetLibraryFunction(const ScopedModule& library, const char* name) {
  return GetLibraryFunction<Function>(library.get(), name);
}
