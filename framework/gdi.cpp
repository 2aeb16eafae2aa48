#include "framework/gdi.h"

#include <commctrl.h>

#include <cstddef>

#include "framework/system_library.h"
#include "framework/wnd.h"

namespace {

// Common controls before version 6 accept only the tool record of that era; version 6 accepts
// it too, so the program never sends the larger one. (The size holds for 32-bit programs.)
constexpr UINT kToolInfoSize = offsetof(TOOLINFOW, lParam) + sizeof(LPARAM);
static_assert(sizeof(void*) != 4 || kToolInfoSize == 44, "common controls 4.70 to 5.x");

TOOLINFOW ToolRecord(CWnd* window, UINT id) {
  TOOLINFOW tool = {};
  tool.cbSize = kToolInfoSize;
  tool.hwnd = window->m_hWnd;
  tool.uId = id;
  return tool;
}

}  // namespace

BOOL CFont::CreateFontIndirect(const LOGFONTW* font) {
  font_.reset(::CreateFontIndirectW(font));
  return font_.valid();
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
  HWND tip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent->m_hWnd, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  if (tip != nullptr && !SubclassWindow(tip)) ::DestroyWindow(tip);
  return m_hWnd != nullptr;
}

BOOL CToolTipCtrl::AddTool(CWnd* window, const CString& text, const RECT& rect, UINT id) {
  TOOLINFOW tool = ToolRecord(window, id);
  // No subclassing flag: the owner relays the mouse messages (RelayEvent).
  tool.rect = rect;
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  return static_cast<BOOL>(
      ::SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)));
}

void CToolTipCtrl::UpdateTipText(const CString& text, CWnd* window, UINT id) {
  TOOLINFOW tool = ToolRecord(window, id);
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  ::SendMessageW(m_hWnd, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CToolTipCtrl::SetToolRect(CWnd* window, const RECT& rect, UINT id) {
  TOOLINFOW tool = ToolRecord(window, id);
  tool.rect = rect;
  ::SendMessageW(m_hWnd, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
}

int WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  const auto own =
      GetLibraryFunction<GetDpiForWindowFn>(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
  const UINT dpi = own != nullptr ? own(window) : 0;
  if (dpi != 0) return static_cast<int>(dpi);
  HDC screen = ::GetDC(nullptr);
  const int system = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : kDefaultDpi;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return system;
}

void CToolTipCtrl::RelayEvent(MSG* message) {
  ::SendMessageW(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(message));
}
