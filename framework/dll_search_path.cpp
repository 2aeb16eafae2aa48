#include "framework/dll_search_path.h"

#include <windows.h>

#include "framework/system_library.h"

namespace {

// Declared only for newer systems than the program's floor; looked up at run time.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryWFn = BOOL(WINAPI*)(LPCWSTR);

}  // namespace

void HardenDllSearchPath() {
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto set_default =
      GetLibraryFunction<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories");
  if (set_default != nullptr && set_default(kLoadLibrarySearchSystem32)) return;
  const auto set_directory = GetLibraryFunction<SetDllDirectoryWFn>(kernel, "SetDllDirectoryW");
  if (set_directory != nullptr) set_directory(L"");
}
