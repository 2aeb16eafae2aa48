#include "framework/wnd.h"

#include "framework/win_app.h"

namespace {

// The window property that holds a window's object.
constexpr wchar_t kObjectProperty[] = L"Brantel.CWnd";

}  // namespace

CWnd::~CWnd() {
  if (m_hWnd != nullptr) Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
  return window == nullptr ? nullptr : static_cast<CWnd*>(::GetPropW(window, kObjectProperty));
}

BOOL CWnd::SubclassWindow(HWND window) {
  if (window == nullptr || m_hWnd != nullptr || FromHandlePermanent(window) != nullptr) {
    return FALSE;
  }
  if (!::SetPropW(window, kObjectProperty, this)) return FALSE;
  m_hWnd = window;
  PreSubclassWindow();
  previous_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWindowProc)));
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  return SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

void CWnd::Detach() {
  if (previous_ != nullptr) {
    ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    previous_ = nullptr;
  }
  ::RemovePropW(m_hWnd, kObjectProperty);
  m_hWnd = nullptr;
}

BOOL CWnd::DestroyWindow() { return m_hWnd != nullptr && ::DestroyWindow(m_hWnd); }

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

void CWnd::SetWindowText(const CString& text) { ::SetWindowTextW(m_hWnd, text.c_str()); }

CString CWnd::GetWindowText() const {
  const int length = ::GetWindowTextLengthW(m_hWnd);
  CString text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(m_hWnd, text.data(), length + 1);
  return CString(text.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

CWnd* CWnd::GetParent() const { return FromHandlePermanent(::GetParent(m_hWnd)); }

LRESULT CWnd::Default() {
  return ::CallWindowProcW(previous_, current_.hwnd, current_.message, current_.wParam,
                           current_.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (OnWndMsg(message, wParam, lParam, &result)) return result;
  return Default();
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_COMMAND:
      // Notifications from controls carry the control's window; menu and accelerator
      // commands carry none.
      return lParam != 0 &&
             ReflectToChild(reinterpret_cast<HWND>(lParam), message, wParam, lParam, result);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
      return ReflectToChild(reinterpret_cast<HWND>(lParam), message, wParam, lParam, result);
    default:
      return FALSE;
  }
}

BOOL CWnd::ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  CWnd* object = FromHandlePermanent(child);
  return object != nullptr && object != this &&
         object->OnChildNotify(message, wParam, lParam, result);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

LRESULT CALLBACK CWnd::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* object = FromHandlePermanent(window);
  if (object == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  // Messages nest (a handler may send another); each level sees its own current message.
  const MSG outer = object->current_;
  object->current_ = MSG{window, message, wParam, lParam, 0, {0, 0}};
  const LRESULT result = object->WindowProc(message, wParam, lParam);
  object->current_ = outer;
  if (message == WM_NCDESTROY) {
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd == object) app->m_pMainWnd = nullptr;
    object->Detach();
    object->PostNcDestroy();
  }
  return result;
}

void DDX_Control(CDataExchange* exchange, int id, CWnd& control) {
  if (control.m_hWnd == nullptr) control.SubclassDlgItem(id, exchange->m_pDlgWnd);
}
