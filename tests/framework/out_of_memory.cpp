// Runs out of memory with the program's allocation functions, as the argument says:
//   --new      a plain allocation larger than the address space
//   --text     a text grown past the memory there is
//   --length   a text longer than the address space can count
//   --nothrow  an allocation that may fail; exits with 0 when it reported the failure with null
// Exits with 1 when the allocation that cannot succeed came back.
#include <windows.h>

#include <cwchar>
#include <new>

#include "framework/cstring.h"

// Where each allocation goes, so that the compiler cannot leave an unused one out.
char* volatile g_kept = nullptr;

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  volatile size_t huge = static_cast<size_t>(-1) - 64;
  if (wcscmp(argv[1], L"--nothrow") == 0) {
    g_kept = new (std::nothrow) char[huge];
    return g_kept == nullptr ? 0 : 1;
  }
  if (wcscmp(argv[1], L"--new") == 0) {
    g_kept = new char[huge];
    return 1;
  }
  if (wcscmp(argv[1], L"--length") == 0) {
    CString text(CString::npos, L'x');
    return 1;
  }
  if (wcscmp(argv[1], L"--text") == 0) {
    CString text(L"x");
    for (;;) text.append(text);
  }
  return 2;
}
