// Thin owners for the GDI objects and the common controls the program uses.
#pragma once

#include <windows.h>

#include "framework/cstring.h"
#include "framework/unique_handle.h"

class CWnd;

// Owns one font.
class CFont {
 public:
  BOOL CreateFontIndirect(const LOGFONTW* font);
  HFONT GetSafeHandle() const { return font_.get(); }
  void DeleteObject() { font_.reset(); }

 private:
  ScopedFont font_;
};

// A tool-tip window; destroyed with the object unless its owner has destroyed it already.
class CToolTipCtrl {
 public:
  CToolTipCtrl() = default;
  ~CToolTipCtrl() { DestroyWindow(); }
  CToolTipCtrl(const CToolTipCtrl&) = delete;
  CToolTipCtrl& operator=(const CToolTipCtrl&) = delete;

  BOOL Create(CWnd* parent, DWORD style = 0);
  BOOL AddTool(CWnd* window, const CString& text, const RECT& rect, UINT id);
  void UpdateTipText(const CString& text, CWnd* window, UINT id);
  void RelayEvent(MSG* message);
  void DestroyWindow();

  HWND m_hWnd = nullptr;
};
