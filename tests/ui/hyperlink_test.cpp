// The link control attached in this process to static controls of the notice's template.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/common_controls.h"
#include "res/resource.h"
#include "tests/harness/doctest_config.h"
#include "ui/hyperlink.h"

namespace {

INT_PTR CALLBACK PlainDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

struct Notice {
  // As the program does for the notice, before the dialog exists.
  ScopedModule commonControls = LoadCommonControls(ICC_WIN95_CLASSES);
  HWND dialog = ::CreateDialogParamW(::GetModuleHandleW(nullptr),
                                     MAKEINTRESOURCEW(IDD_NOTICE_DIALOG), nullptr, &PlainDialog, 0);
  Notice() {
    REQUIRE(commonControls);
    REQUIRE(dialog != nullptr);
  }
  ~Notice() { ::DestroyWindow(dialog); }
  HWND Item(int id) const { return ::GetDlgItem(dialog, id); }
  // A new left-aligned static control with the given text.
  HWND AddStatic(const wchar_t* text) const {
    HWND control = ::CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 10,
                                     200, 20, dialog, nullptr, nullptr, nullptr);
    ::SendMessageW(control, WM_SETFONT, ::SendMessageW(Item(IDC_LINK), WM_GETFONT, 0, 0), FALSE);
    return control;
  }
};

std::wstring Text(HWND window) {
  wchar_t text[512] = {};
  ::GetWindowTextW(window, text, 512);
  return text;
}

struct TipSearch {
  HWND link;
  HWND tip;
};

BOOL CALLBACK FindTip(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TipSearch*>(data);
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  // A pop-up created with a child window as parent is owned by that window's top-level window.
  if (wcscmp(name, TOOLTIPS_CLASSW) != 0 ||
      ::GetWindow(window, GW_OWNER) != ::GetAncestor(search->link, GA_ROOT)) {
    return TRUE;
  }
  search->tip = window;
  return FALSE;
}

// The tool-tip the link created: the notice's only one.
HWND TipOf(HWND link) {
  TipSearch search{link, nullptr};
  ::EnumThreadWindows(::GetCurrentThreadId(), &FindTip, reinterpret_cast<LPARAM>(&search));
  return search.tip;
}

std::wstring TipText(HWND link) {
  const HWND tip = TipOf(link);
  REQUIRE(tip != nullptr);
  CHECK(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0) == 1);
  wchar_t text[512] = {};
  TOOLINFOW tool = {};
  tool.cbSize = offsetof(TOOLINFOW, lParam) + sizeof(LPARAM);
  tool.hwnd = link;
  tool.uId = CHyperLink::kToolId;
  tool.lpszText = text;
  ::SendMessageW(tip, TTM_GETTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  return text;
}

SIZE Extent(HWND window, HFONT font, const std::wstring& text) {
  HDC dc = ::GetDC(window);
  HGDIOBJ previous = ::SelectObject(dc, font);
  SIZE size = {};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  ::SelectObject(dc, previous);
  ::ReleaseDC(window, dc);
  return size;
}

}  // namespace

TEST_CASE("attached to the placeholder, the link takes its text as address and fits it") {
  Notice notice;
  const HWND control = notice.Item(IDC_LINK);
  RECT before;
  ::GetWindowRect(control, &before);
  const std::wstring placeholder = Text(control);
  CHyperLink link;
  REQUIRE(link.SubclassWindow(control));
  CHECK(link.GetLinkUrl() == placeholder);
  CHECK(TipText(control) == placeholder);
  CHECK((::GetWindowLongW(control, GWL_STYLE) & SS_NOTIFY) != 0);

  // Left-aligned: left and top stay, the size is the text's in the underlined font.
  RECT after;
  ::GetWindowRect(control, &after);
  CHECK(after.left == before.left);
  CHECK(after.top == before.top);
  LOGFONTW font = {};
  ::GetObjectW(reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font),
               &font);
  font.lfUnderline = TRUE;
  HFONT underlined = ::CreateFontIndirectW(&font);
  const SIZE extent = Extent(control, underlined, placeholder);
  ::DeleteObject(underlined);
  CHECK(after.right - after.left == extent.cx);
  CHECK(after.bottom - after.top == extent.cy);

  // A new address refits to the window text, which is still the placeholder.
  link.SetLinkUrl(L"http://example.invalid/a-much-longer-address-than-before/");
  RECT refitted;
  ::GetWindowRect(control, &refitted);
  CHECK(refitted.right - refitted.left == after.right - after.left);
  CHECK(TipText(control) == L"http://example.invalid/a-much-longer-address-than-before/");

  // The pointer over the link shows a hand, never the arrow: a link must look like one.
  CHECK(::SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)) == TRUE);
  CHECK(::GetCursor() != nullptr);
  CHECK(::GetCursor() != ::LoadCursorW(nullptr, IDC_ARROW));
}

TEST_CASE("an address set before attaching becomes the text of an empty control") {
  Notice notice;
  const HWND control = notice.AddStatic(L"");
  CHyperLink link;
  link.SetLinkUrl(L"file:///C:/kit/readme.htm");
  REQUIRE(link.SubclassWindow(control));
  CHECK(Text(control) == L"file:///C:/kit/readme.htm");
  CHECK(TipText(control) == L"file:///C:/kit/readme.htm");
}

TEST_CASE("with neither address nor text nothing is set") {
  Notice notice;
  const HWND control = notice.AddStatic(L"");
  CHyperLink link;
  REQUIRE(link.SubclassWindow(control));
  CHECK(Text(control).empty());
  CHECK(link.GetLinkUrl().empty());
  CHECK(TipText(control).empty());
}

TEST_CASE("destroying the link through DestroyWindow stops the hover timer first") {
  Notice notice;
  const HWND control = notice.AddStatic(L"http://example.invalid/");
  CHyperLink link;
  REQUIRE(link.SubclassWindow(control));
  // The pointer lands on the link: the hover state starts the polling timer.
  ::SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  CHECK(::KillTimer(control, 100) != FALSE);  // the timer ran; start it again
  ::SetTimer(control, 100, CHyperLink::kHoverTimerPeriodMs, nullptr);
  CHECK(link.DestroyWindow());
  CHECK_FALSE(::IsWindow(control));
  CHECK(link.m_hWnd == nullptr);
}
