// Reads a file's version resource as the program does, from wherever this copy was put:
//   version_reader <file>     exits 0 when the data was read and its InternalName is "FOO",
//                             2 when it was read with another name, 1 when it could not be read,
//                             4 when version.dll is still loaded after the read (this program
//                             loads nothing else that would load it)
//   version_reader --by-name  loads "version.dll" through the ordinary search path, as a program
//                             that imported it would, and exits 0 when that succeeded
//   version_reader --hardened-by-name
//                             the same after narrowing the search path as the program's start-up
//                             does
#include <windows.h>

#include <string>

#include "framework/dll_search_path.h"
#include "framework/unique_handle.h"
#include "process/file_version_info.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 3;
  const std::wstring argument = argv[1];
  if (argument == L"--hardened-by-name") HardenDllSearchPath();
  if (argument == L"--by-name" || argument == L"--hardened-by-name") {
    return ScopedModule(::LoadLibraryW(L"version.dll")) ? 0 : 1;
  }
  CFileVersionInfo info;
  const bool read = info.Create(CString(argument.c_str(), argument.size()));
  if (::GetModuleHandleW(L"version.dll") != nullptr) return 4;
  if (!read) return 1;
  return info.GetInternalName() == L"FOO" ? 0 : 2;
}
