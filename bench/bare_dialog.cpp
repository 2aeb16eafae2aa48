// The baseline of the dialog benchmark: shows one modal dialog from its template, with the same
// controls, font, icon and common controls (version 6, by its manifest) as the notice and English
// texts of the same length, and nothing else.
// OK or closing ends it with exit code 0.
#include <windows.h>

#include "bench/bare_dialog.h"

namespace {

INT_PTR CALLBACK BareDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(dialog, 0);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  const INT_PTR result =
      ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_BARE_DIALOG), nullptr, BareDialogProc, 0);
  return result == -1 ? static_cast<int>(::GetLastError()) : 0;
}
