// A modal dialog built from a dialog template, with a modal loop of its own that offers every
// message to PreTranslateMessage of the target window and its parents before the dialog keys.
#pragma once

#include "framework/wnd.h"

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);

  // Shows the dialog and runs its modal loop until EndDialog; returns EndDialog's result, or -1
  // when the dialog could not be created (CreationError then tells why).
  virtual INT_PTR DoModal();
  // The platform's error code when the last DoModal could not create the dialog
  // (ERROR_REQUIRES_INTERACTIVE_WINDOWSTATION when the platform gave none); 0 once it was created.
  DWORD CreationError() const { return creationError_; }
  // Ends the modal loop once the current message has been handled.
  void EndDialog(int result);
  // Whether the last DoModal ended through EndDialog; false when a quit request or a failing
  // GetMessage ended its loop first, or the dialog was never created.
  bool Answered() const { return ended_; }

 protected:
  // Binds the controls (DoDataExchange); TRUE lets the system focus the first tab stop.
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(CDataExchange*) {}
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool PreTranslateChain(MSG* message);

  UINT template_;
  CWnd* parent_;
  bool ended_ = false;
  int result_ = -1;
  DWORD creationError_ = 0;
};
