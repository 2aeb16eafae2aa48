// The notice shown when the browser must be installed: OK runs the English installer, the link
// opens the download page and ends the calling installer. Escape, Alt+F4 and the close request
// leave it open.
#pragma once

#include "framework/cstring.h"
#include "framework/dialog.h"
#include "framework/unique_handle.h"
#include "ui/link/hyperlink.h"
#include "ui/notice/notice_placement.h"

class CbrantelDlg : public CDialog {
 public:
  explicit CbrantelDlg(CWnd* parent = nullptr);

  // Language of the texts (a Windows language id) and the installer's arguments; set before
  // DoModal. DoModal returns the installer's exit code after OK, or -1 after the link. A notice
  // that ends without the user's answer (a quit request to its thread, a failing message loop)
  // logs so and returns kNoAnswer; at the end of the session the process ends with that code.
  static constexpr int kNoAnswer = ERROR_CANCELLED;
  int m_lang = 0;
  CString m_ieParameters;

  // Mirrored when the texts read right to left (NoticeReadsRightToLeft).
  INT_PTR DoModal() override;

 protected:
  void DoDataExchange(CDataExchange* exchange) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnInitDialog() override;
  void OnCancel() override {}
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnCtlColorStatic(HDC dc, HWND control);
  void OnOkClicked();
  void OnLinkOpened();
  void OnEndSession();
  void OnDpiChanged(int dpi);
  void ShowIcon(int dpi);

  ScopedIcon m_hIcon;
  CHyperLink m_link;
  CStatic m_requirementText;
  CButton m_okButton;
  CStatic m_iconView;
  CStatic m_downloadText;
  ScopedIcon m_viewIcon;  // shown by m_iconView
  CNoticePlacement m_placement;
  bool m_rightToLeft = false;
  bool m_readingOrderOnDc = false;  // the texts' device context asks for right-to-left reading
};
