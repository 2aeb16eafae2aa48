// The baseline of the start-up benchmark: a Win32 GUI program of the same toolchain and link
// options as Brantel.exe that does nothing and exits with 0.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return 0; }
