#include "framework/dll_search_path.h"

#include <windows.h>

namespace {

// Declared only for newer systems than the program's floor; looked up at run time.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryWFn = BOOL(WINAPI*)(LPCWSTR);

}  // namespace

void HardenDllSearchPath() {
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set_default != nullptr && set_default(kLoadLibrarySearchSystem32)) return;
  auto set_directory = reinterpret_cast<SetDllDirectoryWFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDllDirectoryW")));
  if (set_directory != nullptr) set_directory(L"");
}
