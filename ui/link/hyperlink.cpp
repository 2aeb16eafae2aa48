#include "ui/link/hyperlink.h"

#include <commctrl.h>

#include <utility>

#include "framework/unique_handle.h"
#include "ui/link/link_navigation.h"

namespace {

constexpr COLORREF kLinkColour = RGB(0, 0, 238);
constexpr COLORREF kVisitedColour = RGB(85, 26, 139);
constexpr COLORREF kHoverColour = RGB(255, 0, 0);
constexpr int kShellSuccessAbove = 32;
constexpr int kUnderlineWhileHovered = -1;
constexpr int kUnderlineAlways = 1;
// The repaint after the pointer leaves reaches this far below the client area.
constexpr LONG kLeaveRepaintExtraPx = 10;
constexpr wchar_t kHelpProgram[] = L"\\winhlp32.exe";
constexpr int kHelpProgramHandCursor = 106;
constexpr double kReadableContrast = 4.5;
constexpr LPARAM kKeyWasDown = 1 << 30;

RECT RectInParent(HWND window, const RECT& screen) {
  POINT corners[2] = {{screen.left, screen.top}, {screen.right, screen.bottom}};
  ::MapWindowPoints(nullptr, ::GetParent(window), corners, 2);
  return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

// x to the power 2.4 without the C library's pow, which would add kilobytes to the program: x * x *
// y, where y = x to the power 0.4 solves y^5 = x^2. Newton's method from y = 1 comes down to that
// root from above; for the x that channel values give (0.09 to 1) it ends at a double's precision
// within ten steps.
double PowerTwoPointFour(double x) {
  double y = 1.0;
  for (int step = 0; step < 40; ++step) y -= (y * y * y * y * y - x * x) / (5 * y * y * y * y);
  return x * x * y;
}

// The relative luminance of one sRGB channel value, linearized.
double Linear(BYTE channel) {
  const double value = channel / 255.0;
  return value <= 0.03928 ? value / 12.92 : PowerTwoPointFour((value + 0.055) / 1.055);
}

double Luminance(COLORREF colour) {
  return 0.2126 * Linear(GetRValue(colour)) + 0.7152 * Linear(GetGValue(colour)) +
         0.0722 * Linear(GetBValue(colour));
}

// The WCAG 2 contrast ratio of two colours, from 1 (the same) to 21 (black and white).
double ContrastRatio(COLORREF first, COLORREF second) {
  const double a = Luminance(first) + 0.05;
  const double b = Luminance(second) + 0.05;
  return a > b ? a / b : b / a;
}

}  // namespace

COLORREF LinkColourOn(COLORREF background, COLORREF colour, COLORREF linkColour, bool highContrast,
                      COLORREF systemLink, COLORREF systemText) {
  if (!highContrast && ContrastRatio(linkColour, background) >= kReadableContrast) return colour;
  if (ContrastRatio(colour, background) >= kReadableContrast) return colour;
  if (ContrastRatio(systemLink, background) >= kReadableContrast) return systemLink;
  return systemText;
}

COLORREF LinkTextColour(bool pointerOver, bool visited, COLORREF link, COLORREF visitedColour,
                        COLORREF hover) {
  if (pointerOver) return hover;
  return visited ? visitedColour : link;
}

RECT FitLinkRect(RECT window, const RECT& client, SIZE text, DWORD style) {
  const LONG neededWidth = text.cx + (window.right - window.left) - (client.right - client.left);
  const LONG neededHeight = text.cy + (window.bottom - window.top) - (client.bottom - client.top);
  if (style & SS_CENTERIMAGE) {
    const LONG d = ((window.bottom - window.top) - neededHeight) / 2;
    window.top += d;
    window.bottom -= d;
  } else {
    window.bottom = window.top + neededHeight;
  }
  // Alignment bits are tested one by one, so a style value with bit 0x0001 counts as centred.
  if (style & SS_CENTER) {
    const LONG d = ((window.right - window.left) - neededWidth) / 2;
    window.left += d;
    window.right -= d;
  } else if (style & SS_RIGHT) {
    window.left = window.right - neededWidth;
  } else {
    window.right = window.left + neededWidth;
  }
  return window;
}

CHyperLink::CHyperLink()
    : m_linkColour(kLinkColour), m_visitedColour(kVisitedColour), m_hoverColour(kHoverColour) {}

CHyperLink::~CHyperLink() {
  m_underlinedFont.DeleteObject();
  m_urlTip.DestroyWindow();
}

void CHyperLink::SetLinkUrl(CString url) {
  m_url = std::move(url);
  if (!IsWindow()) return;
  FitToText(GetWindowText());
  m_urlTip.UpdateTipText(m_url, this, kToolId);
}

void CHyperLink::PreSubclassWindow() {
  const LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
  ::SetWindowLongW(m_hWnd, GWL_STYLE, style | SS_NOTIFY | WS_TABSTOP);
  m_fitStyle = static_cast<DWORD>(style);

  if (m_url.empty()) m_url = GetWindowText();
  if (GetWindowText().empty()) SetWindowText(m_url);

  HGDIOBJ source = reinterpret_cast<HGDIOBJ>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
  if (source == nullptr) source = ::GetStockObject(DEFAULT_GUI_FONT);
  if (source == nullptr) source = ::GetStockObject(ANSI_VAR_FONT);
  ::GetObjectW(source, sizeof(m_baseFont), &m_baseFont);
  m_baseDpi = WindowDpi(m_hWnd);
  CreateFonts(m_baseDpi);

  FitToText(GetWindowText());
  LoadHandCursor();

  if (m_underlineMode != kUnderlineWhileHovered) {
    SetDisplayFont(m_plainFont);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
  }
  m_underlineMode = kUnderlineWhileHovered;

  RECT client;
  ::GetClientRect(m_hWnd, &client);
  m_urlTip.Create(this);
  m_urlTip.AddTool(this, m_url, client, kToolId);
  CStatic::PreSubclassWindow();
}

void CHyperLink::CreateFonts(int dpi) {
  LOGFONTW font = m_baseFont;
  font.lfHeight = ::MulDiv(font.lfHeight, dpi, m_baseDpi);
  font.lfWidth = ::MulDiv(font.lfWidth, dpi, m_baseDpi);
  m_plainFont.CreateFontIndirect(&font);
  font.lfUnderline = TRUE;
  m_underlinedFont.CreateFontIndirect(&font);
}

void CHyperLink::SetDpi(int dpi) {
  if (!IsWindow() || m_baseDpi == 0) return;
  CreateFonts(dpi);
  const bool underlined = m_underlineMode == kUnderlineAlways || m_pointerOver;
  SetDisplayFont(underlined ? m_underlinedFont : m_plainFont);
  FitToText(CString(m_fittedText));
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  m_urlTip.SetToolRect(this, client, kToolId);
}

void CHyperLink::FitToText(const CString& text) {
  if (!IsWindow() || !m_fitToText) return;
  RECT windowRect;
  ::GetWindowRect(m_hWnd, &windowRect);
  RECT clientRect;
  ::GetClientRect(m_hWnd, &clientRect);
  ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&clientRect), 2);

  m_fittedText = text;
  SIZE extent = {0, 0};
  HDC dc = ::GetDC(m_hWnd);
  HGDIOBJ previous = ::SelectObject(dc, m_underlinedFont.GetSafeHandle());
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  ::SelectObject(dc, previous);
  ::ReleaseDC(m_hWnd, dc);

  const RECT fitted = FitLinkRect(RectInParent(m_hWnd, windowRect),
                                  RectInParent(m_hWnd, clientRect), extent, m_fitStyle);
  ::SetWindowPos(m_hWnd, nullptr, fitted.left, fitted.top, fitted.right - fitted.left,
                 fitted.bottom - fitted.top, SWP_NOZORDER);
}

void CHyperLink::LoadHandCursor() {
  if (!m_handCursor) m_handCursor.reset(LoadLinkHandCursor());
}

// The help program is mapped as a data file: only its resources are read, and nothing of it or of
// the libraries it names runs.
HCURSOR LoadLinkHandCursor() {
  wchar_t windows[MAX_PATH] = {};
  const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    ScopedModule help(::LoadLibraryExW((CString(windows) + kHelpProgram).c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE));
    if (help) {
      HCURSOR cursor = ::LoadCursorW(help.get(), MAKEINTRESOURCEW(kHelpProgramHandCursor));
      if (cursor != nullptr) return ::CopyIcon(cursor);
    }
  }
  return ::CopyIcon(::LoadCursorW(nullptr, IDC_HAND));
}

void CHyperLink::SetDisplayFont(const CFont& font) {
  ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font.GetSafeHandle()), TRUE);
}

BOOL CHyperLink::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_SETCURSOR:
      if (!OnSetCursor()) break;
      *result = TRUE;
      return TRUE;
    case WM_MOUSEMOVE:
      OnMouseMove();
      break;  // and default processing
    case WM_TIMER:
      OnTimer();
      break;  // and default processing
    case WM_ERASEBKGND:
      *result = OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
      return TRUE;
    case WM_GETDLGCODE: {
      // Enter and Space, as keys and as characters, go to the focused link: Enter not to the
      // default button, the characters not to the dialog's search for a mnemonic.
      const MSG* key = reinterpret_cast<const MSG*>(lParam);
      const bool ours = key != nullptr && (key->message == WM_KEYDOWN || key->message == WM_CHAR) &&
                        (key->wParam == VK_RETURN || key->wParam == VK_SPACE);
      *result = Default() | (ours ? DLGC_WANTMESSAGE : 0);
      return TRUE;
    }
    case WM_KEYDOWN:
      if (!OnKeyDown(wParam, lParam)) break;
      *result = 0;
      return TRUE;
    case WM_PAINT:
      OnPaint();
      *result = 0;
      return TRUE;
    case WM_GETOBJECT:
      if (!m_accessible.Answer(m_hWnd, wParam, lParam, result)) break;
      return TRUE;
    case CLinkAccessibility::kDoDefaultAction:
      OnLinkClicked();
      *result = 0;
      return TRUE;
    case WM_DESTROY:
      m_accessible.Disconnect();
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
      ::InvalidateRect(m_hWnd, nullptr, TRUE);
      break;  // and default processing
    default:
      break;
  }
  return CStatic::OnWndMsg(message, wParam, lParam, result);
}

BOOL CHyperLink::OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
  if (message == WM_CTLCOLORSTATIC) {
    *result = reinterpret_cast<LRESULT>(CtlColor(reinterpret_cast<HDC>(wParam)));
    return TRUE;
  }
  if (message == WM_COMMAND && HIWORD(wParam) == STN_CLICKED) {
    OnLinkClicked();
    *result = 0;
    return TRUE;
  }
  return FALSE;
}

// The text is drawn on the button face: in the link's own colours on the schemes they were made
// for, all three (the hover colour too, whose contrast on a light face is about 3.5), in the
// scheme's where they would not read. The control fills its background with the face's brush
// itself, so that every paint of it is whole, whether its background was erased before or not.
HBRUSH CHyperLink::CtlColor(HDC dc) {
  const COLORREF colour = LinkTextColour(m_pointerOver != FALSE, m_visited != FALSE, m_linkColour,
                                         m_visitedColour, m_hoverColour);
  HIGHCONTRASTW contrast = {sizeof(contrast), 0, nullptr};
  const bool highContrast =
      ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) != FALSE &&
      (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
  ::SetTextColor(dc, LinkColourOn(::GetSysColor(COLOR_BTNFACE), colour, m_linkColour, highContrast,
                                  ::GetSysColor(COLOR_HOTLIGHT), ::GetSysColor(COLOR_BTNTEXT)));
  ::SetBkMode(dc, TRANSPARENT);
  return ::GetSysColorBrush(COLOR_BTNFACE);
}

BOOL CHyperLink::OnSetCursor() {
  if (!m_handCursor) return FALSE;
  ::SetCursor(m_handCursor.get());
  return TRUE;
}

void CHyperLink::OnMouseMove() {
  if (m_pointerOver) return;
  m_pointerOver = TRUE;
  if (m_underlineMode == kUnderlineWhileHovered) SetDisplayFont(m_underlinedFont);
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
  ::SetTimer(m_hWnd, m_hoverTimerId, kHoverTimerPeriodMs, nullptr);
}

// Any timer message tests the pointer, whatever its id: the leave is found by polling.
void CHyperLink::OnTimer() {
  const DWORD position = ::GetMessagePos();
  POINT pointer = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
  ::ScreenToClient(m_hWnd, &pointer);
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  if (::PtInRect(&client, pointer)) return;
  m_pointerOver = FALSE;
  ::KillTimer(m_hWnd, m_hoverTimerId);
  if (m_underlineMode != kUnderlineAlways) SetDisplayFont(m_plainFont);
  client.bottom += kLeaveRepaintExtraPx;
  ::InvalidateRect(m_hWnd, &client, TRUE);
}

void CHyperLink::OnLinkClicked() {
  m_pointerOver = FALSE;
  const int result = OpenLink(this, m_url);
  m_visited = result > kShellSuccessAbove;
  if (!m_visited) {
    ::MessageBeep(MB_ICONEXCLAMATION);
    if (result == kPageLeftToUser) {
      ReportAddress(m_url);
    } else {
      ReportOpenError(result);
    }
    return;
  }
  if (IsWindow()) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

BOOL CHyperLink::OnEraseBkgnd(HDC dc) {
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
  return TRUE;
}

// A held key repeats its key-down: only the first one opens the address.
BOOL CHyperLink::OnKeyDown(WPARAM key, LPARAM flags) {
  if ((key != VK_RETURN && key != VK_SPACE) || (flags & kKeyWasDown) != 0) return FALSE;
  OnLinkClicked();
  return TRUE;
}

// The static control paints its text; the focus rectangle is drawn over it, only where that paint
// reached: DrawFocusRect inverts, so drawing it twice on the same pixels would take it away.
void CHyperLink::OnPaint() {
  ScopedRegion painted(::CreateRectRgn(0, 0, 0, 0));
  const bool clipped = painted && ::GetUpdateRgn(m_hWnd, painted.get(), FALSE) != ERROR;
  Default();
  const bool cues = (::SendMessageW(m_hWnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
  if (!clipped || ::GetFocus() != m_hWnd || !cues) return;
  HDC dc = ::GetDC(m_hWnd);
  ::SelectClipRgn(dc, painted.get());
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  ::DrawFocusRect(dc, &client);
  ::ReleaseDC(m_hWnd, dc);
}

BOOL CHyperLink::PreTranslateMessage(MSG* message) {
  if (m_urlTip.m_hWnd != nullptr) m_urlTip.RelayEvent(message);
  return CStatic::PreTranslateMessage(message);
}

BOOL CHyperLink::DestroyWindow() {
  ::KillTimer(m_hWnd, m_hoverTimerId);
  return CStatic::DestroyWindow();
}
