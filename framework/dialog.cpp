#include "framework/dialog.h"

CDialog::CDialog(UINT templateId, CWnd* parent) : template_(templateId), parent_(parent) {}

INT_PTR CDialog::DoModal() {
  HWND owner = parent_ != nullptr ? parent_->m_hWnd : nullptr;
  ended_ = false;
  result_ = -1;
  ::SetLastError(ERROR_SUCCESS);
  HWND dialog = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(template_),
                                     owner, &StaticDialogProc, reinterpret_cast<LPARAM>(this));
  creationError_ = 0;
  if (dialog == nullptr) {
    const DWORD error = ::GetLastError();
    creationError_ = error != ERROR_SUCCESS ? error : ERROR_REQUIRES_INTERACTIVE_WINDOWSTATION;
    return -1;
  }
  if (owner != nullptr) ::EnableWindow(owner, FALSE);
  MSG message;
  while (!ended_) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      // A quit request belongs to an outer loop: leave, and hand it on.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (PreTranslateChain(&message) || ::IsDialogMessageW(dialog, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  if (owner != nullptr) ::EnableWindow(owner, TRUE);
  DestroyWindow();
  return result_;
}

void CDialog::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  // Wakes the modal loop when the request came in a sent message, which GetMessage handles
  // without returning.
  if (m_hWnd != nullptr) ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

bool CDialog::PreTranslateChain(MSG* message) {
  for (HWND window = message->hwnd; window != nullptr; window = ::GetParent(window)) {
    CWnd* object = FromHandlePermanent(window);
    if (object != nullptr && object->PreTranslateMessage(message)) return true;
    if (window == m_hWnd) break;
  }
  return false;
}

BOOL CDialog::OnInitDialog() {
  CDataExchange exchange{this};
  DoDataExchange(&exchange);
  return TRUE;
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (CWnd::OnWndMsg(message, wParam, lParam, result)) return TRUE;
  if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      OnOK();
      *result = 0;
      return TRUE;
    case IDCANCEL:
      // Escape, Alt+F4 and the close request all arrive as this command.
      OnCancel();
      *result = 0;
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  // From here on every message of the dialog passes through the object's window procedure;
  // the dialog manager's own procedure is what Default() reaches.
  auto* dialog = reinterpret_cast<CDialog*>(lParam);
  if (!dialog->SubclassWindow(window)) return TRUE;
  return dialog->OnInitDialog();
}
