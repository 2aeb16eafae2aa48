// Thin owners for the GDI objects and the common controls the program uses.
#pragma once

#include <windows.h>

#include "framework/cstring.h"
#include "framework/unique_handle.h"
#include "framework/wnd.h"

// Owns one font.
class CFont {
 public:
  BOOL CreateFontIndirect(const LOGFONTW* font);
  HFONT GetSafeHandle() const { return font_.get(); }
  void DeleteObject() { font_.reset(); }

 private:
  ScopedFont font_;
};

// A tool-tip window, bound to the object for its whole life: when its owner destroys it first,
// the binding ends with it and m_hWnd is null, so the object never acts on a handle that is gone
// (or that the platform has since given to another window). Destroyed with the object otherwise.
class CToolTipCtrl : public CWnd {
 public:
  ~CToolTipCtrl() override { DestroyWindow(); }

  BOOL Create(CWnd* parent, DWORD style = 0);
  BOOL AddTool(CWnd* window, const CString& text, const RECT& rect, UINT id);
  void UpdateTipText(const CString& text, CWnd* window, UINT id);
  void SetToolRect(CWnd* window, const RECT& rect, UINT id);
  void RelayEvent(MSG* message);
};

// The dots per inch that sizes are designed at (100 %).
constexpr int kDefaultDpi = 96;
// The dots per inch a window is drawn at: its own where the system scales each window for its
// monitor (Windows 10 1607 on), else the system's.
int WindowDpi(HWND window);
