// Stands in for an installer that crashes, in the way its first argument names:
//   null   writes through a null pointer
//   raise  raises a noncontinuable exception of its own, 0xE0000001
//   abort  calls abort(), which ends the program with exit code 3
// Nothing handles the fault: the platform ends the program and reports the exit code it chooses.
#include <windows.h>

#include <cstdlib>
#include <cwchar>

namespace {

constexpr DWORD kOwnException = 0xE0000001;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  const wchar_t* mode = __argc > 1 ? __wargv[1] : L"";
  if (wcscmp(mode, L"raise") == 0) {
    ::RaiseException(kOwnException, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  } else if (wcscmp(mode, L"abort") == 0) {
    // The message goes to the error stream: a box would wait for a user.
    _set_error_mode(_OUT_TO_STDERR);
    std::abort();
  } else if (wcscmp(mode, L"null") == 0) {
    *static_cast<volatile int*>(nullptr) = 1;
  }
  return 0;
}
