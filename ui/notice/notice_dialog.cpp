#include "ui/notice/notice_dialog.h"

#include <utility>

#include "app/program_paths.h"
#include "framework/win_app.h"
#include "log/log_to_file.h"
#include "process/run_process.h"
#include "process/terminate_caller_setup.h"
#include "res/resource.h"
#include "ui/link/link_navigation.h"
#include "ui/notice/icon_loader.h"
#include "ui/notice/localized_strings.h"
#include "ui/notice/notice_placement.h"
#include "ui/notice/notice_texts.h"

namespace {

constexpr wchar_t kIconFile[] = L"Internet_64_A.ico";
constexpr wchar_t kLinkKey[] = L"link";
constexpr wchar_t kDefaultLink[] = L"http://www.microsoft.com/windows/internet-explorer/";
constexpr wchar_t kEnglishInstaller[] = L"\\ie_setup_2057.exe";
constexpr int kLinkResult = -1;
// The window's name, for the taskbar, Alt+Tab and screen readers: the browser's name, the same in
// every language.
constexpr wchar_t kCaption[] = L"Internet Explorer";
// Sent by Windows 8.1 and later when the notice moves to a monitor of another scale: the new dots
// per inch in both words of wParam, the rectangle the system suggests in lParam.
constexpr UINT kDpiChanged = 0x02E0;
// Posted by the notice to itself once it is shown.
constexpr UINT kComeForward = WM_APP + 0x4E;

// Someone else ended the notice: not the user's choice, so never the link's -1 or a success.
int ReportNoAnswer() {
  theLog.WriteFormat(L"Dialog ended without an answer, error: %d", CbrantelDlg::kNoAnswer);
  return CbrantelDlg::kNoAnswer;
}

// The link of the mirrored notice keeps the place and size mirroring gave it, its address at its
// right end, but is not mirrored itself and draws the address left to right: text in a mirrored
// window reads right to left, which would move the address's final "/" to its front. Call after
// the link's last fit to its text, which measures in the mirrored layout.
void KeepLeftToRight(const CStatic& link) {
  const LONG style = ::GetWindowLongW(link.m_hWnd, GWL_STYLE);
  ::SetWindowLongW(link.m_hWnd, GWL_STYLE, (style & ~SS_TYPEMASK) | SS_RIGHT);
  const LONG extended = ::GetWindowLongW(link.m_hWnd, GWL_EXSTYLE);
  ::SetWindowLongW(link.m_hWnd, GWL_EXSTYLE, extended & ~WS_EX_LAYOUTRTL);
}

}  // namespace

CbrantelDlg::CbrantelDlg(CWnd* parent)
    : CDialog(IDD_NOTICE_DIALOG, parent),
      m_hIcon(LoadIconImage(kIconFile, IDI_APP_ICON, WindowDpi(nullptr))) {}

// A notice that reads right to left is mirrored, as the platform's own dialogs in those languages
// are: the process's default layout is right to left while the notice is created, so that the
// notice and all its controls are created mirrored (icon on the right, OK on the left, the link
// fitted from the right edge).
INT_PTR CbrantelDlg::DoModal() {
  m_rightToLeft = NoticeReadsRightToLeft(m_lang);
  DWORD previousLayout = 0;
  const bool mirrored = m_rightToLeft && ::GetProcessDefaultLayout(&previousLayout) &&
                        ::SetProcessDefaultLayout(LAYOUT_RTL);
  const INT_PTR result = CDialog::DoModal();
  if (mirrored) ::SetProcessDefaultLayout(previousLayout);
  if (CreationError() != 0 || Answered()) return result;
  return ReportNoAnswer();
}

void CbrantelDlg::DoDataExchange(CDataExchange* exchange) {
  DDX_Control(exchange, IDC_LINK, m_link);
  DDX_Control(exchange, IDC_REQUIREMENT_TEXT, m_requirementText);
  DDX_Control(exchange, IDOK, m_okButton);
  DDX_Control(exchange, IDC_ICON_VIEW, m_iconView);
  DDX_Control(exchange, IDC_DOWNLOAD_TEXT, m_downloadText);
}

BOOL CbrantelDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(kCaption);
  // The link keeps the size fitted to the template's placeholder text: the address is stored
  // first, and only then shown as the link's text.
  const CString address = ReadSetting(kLinkKey, kDefaultLink);
  m_link.SetLinkUrl(address);
  m_link.SetWindowText(address);
  m_link.SetActionName(NoticeLinkAction(m_lang));

  m_okButton.SetWindowText(GetOkText(m_lang));
  m_requirementText.SetWindowText(NoticeUpperText(m_lang));
  m_downloadText.SetWindowText(NoticeLowerText(m_lang));
  // The texts of the mirrored notice are mirrored too: each line reads right to left from the
  // right edge, where the template's SS_LEFT ("leading") puts it.
  if (m_rightToLeft) KeepLeftToRight(m_link);
  m_readingOrderOnDc = m_rightToLeft && MirroredTextNeedsReadingOrder();

  ShowIcon(WindowDpi(m_hWnd));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon.get()));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon.get()));

  m_placement.Place(m_hWnd);
  ::PostMessageW(m_hWnd, kComeForward, 0, 0);
  // The controls are in reading order, for screen readers, and so the link comes before OK in
  // the tab order: the focus starts on OK, the default button, itself.
  ::SetFocus(m_okButton.m_hWnd);
  return FALSE;
}

void CbrantelDlg::ShowIcon(int dpi) {
  ScopedIcon icon(LoadIconImage(kIconFile, IDI_APP_ICON, dpi));
  ::SendMessageW(m_iconView.m_hWnd, STM_SETICON, reinterpret_cast<WPARAM>(icon.get()), 0);
  m_viewIcon = std::move(icon);
}

// The dialog manager has scaled what it made from the template (Windows 10 1703 on) and the notice
// has taken the suggested rectangle (m_placement); what it made itself follows: the link and the
// icon.
void CbrantelDlg::OnDpiChanged(int dpi) {
  m_link.SetDpi(dpi);
  ShowIcon(dpi);
  ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

BOOL CbrantelDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_PAINT:
      if (!::IsIconic(m_hWnd)) break;
      OnPaint();
      *result = 0;
      return TRUE;
    case WM_ENDSESSION:
      // Only while the notice waits for the answer: after OK it is hidden, and the installer runs.
      if (wParam != FALSE && ::IsWindowVisible(m_hWnd)) OnEndSession();
      break;
    case kDpiChanged:
      *result = m_placement.Rescale(m_hWnd, *reinterpret_cast<const RECT*>(lParam),
                                    [this] { return Default(); });
      OnDpiChanged(HIWORD(wParam));
      return TRUE;
    case kComeForward:
      BringNoticeForward(m_hWnd);
      *result = 0;
      return TRUE;
    case WM_QUERYDRAGICON:
      *result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
      return TRUE;
    case WM_CTLCOLORSTATIC:
      OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
      break;  // the colours stay the default ones
    case WM_COMMAND:
      // The button and the Enter key both arrive here; the dialog's own OK handling never runs.
      if (LOWORD(wParam) != IDOK || HIWORD(wParam) != BN_CLICKED) break;
      OnOkClicked();
      *result = 0;
      return TRUE;
    default:
      break;
  }
  return CDialog::OnWndMsg(message, wParam, lParam, result);
}

LRESULT CbrantelDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LINK_OPENED) OnLinkOpened();
  return CDialog::WindowProc(message, wParam, lParam);
}

void CbrantelDlg::OnLinkOpened() {
  theLog.WriteLine(L"Clicked link. Opened url, closing setup and application...", true);
  TerminateCallerSetup(L"");
  EndDialog(kLinkResult);
}

// Once this message returns, the ending session may end the process at any moment, with an exit
// code of the system's choosing: the run ends here, with its own.
void CbrantelDlg::OnEndSession() { ::ExitProcess(static_cast<UINT>(ReportNoAnswer())); }

void CbrantelDlg::OnOkClicked() {
  theLog.WriteLine(L"Clicked \"Ok\", running Iesetup(2057)", true);
  const CString directory = GetProgramDirectory();
  AfxGetApp()->HideApplication();
  // Nothing of the hidden notice is read or acted on while the installer runs.
  m_link.DisconnectReaders();
  ScopedHandle process;
  EndDialog(RunProcess(directory + kEnglishInstaller, m_ieParameters, directory, true, process));
}

// Minimized, the dialog shows its icon centred in the client area.
void CbrantelDlg::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(m_hWnd, &paint);
  ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  ::DrawIcon(dc, x, y, m_hIcon.get());
  ::EndPaint(m_hWnd, &paint);
}

// Where the platform's static control does not read a mirrored text right to left, the device
// context it draws with asks for that order; Windows never gets the flag.
void CbrantelDlg::OnCtlColorStatic(HDC dc, HWND control) {
  if (!m_readingOrderOnDc || control == m_link.m_hWnd) return;
  ::SetTextAlign(dc, ::GetTextAlign(dc) | TA_RTLREADING);
}

HCURSOR CbrantelDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon.get()); }
