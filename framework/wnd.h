// Window objects over the Win32 API: a C++ object bound to one window by subclassing, with a
// virtual window procedure, per-message handlers and notifications reflected back to the child
// control that sent them.
#pragma once

#include <windows.h>

#include "framework/cstring.h"

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // The object bound to a window, or null.
  static CWnd* FromHandlePermanent(HWND window);

  bool IsWindow() const { return m_hWnd != nullptr && ::IsWindow(m_hWnd) != FALSE; }

  // Binds this object to an existing window: PreSubclassWindow runs first, then the window's
  // procedure is replaced by this object's. The binding ends when the window is destroyed.
  BOOL SubclassWindow(HWND window);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);

  virtual BOOL DestroyWindow();
  // Called for every message of the modal loop whose target is this window or a child of it,
  // before it is dispatched; TRUE means it has been handled.
  virtual BOOL PreTranslateMessage(MSG* message);

  void SetWindowText(const CString& text);
  CString GetWindowText() const;
  CWnd* GetParent() const;
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

  HWND m_hWnd = nullptr;

 protected:
  virtual void PreSubclassWindow() {}
  // Every message of the window passes here; the default gives it to OnWndMsg and, unless that
  // handled it, to the window's previous procedure.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Per-message handlers of a class: returns TRUE with *result set when it handled the message.
  // An override handles its own messages and passes the rest to its base class.
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // A notification a child control sent to this window (WM_COMMAND, WM_CTLCOLOR*), offered to
  // the child's own object first; TRUE with *result set when the child handled it.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // The current message, given to the window's previous procedure.
  LRESULT Default();
  virtual void PostNcDestroy() {}

 private:
  static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Detach();
  BOOL ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  WNDPROC previous_ = nullptr;
  MSG current_ = {};
};

// Plain controls bound by subclassing; they add nothing but their identity.
class CStatic : public CWnd {};
class CButton : public CWnd {};

// Passed to DoDataExchange; this layer only binds controls.
struct CDataExchange {
  CWnd* m_pDlgWnd;
};
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);
