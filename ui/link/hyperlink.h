// A static text control that behaves as a web link: link colours, an underline while the pointer
// is over it, a hand cursor, a tool-tip with its address, and a click that opens the address. It
// is a tab stop: focused, it shows a focus rectangle when the system shows keyboard cues, and
// Enter or Space opens the address as a click does. Screen readers read it as a link
// (ui/link_accessible.h), whose default action is the same click. Its fonts follow the notice's
// dots per inch.
#pragma once

#include <windows.h>

#include <utility>

#include "framework/cstring.h"
#include "framework/gdi.h"
#include "framework/unique_handle.h"
#include "framework/wnd.h"
#include "ui/link/link_accessible.h"

class CHyperLink : public CStatic {
 public:
  static constexpr UINT kHoverTimerPeriodMs = 100;
  static constexpr UINT kToolId = 1;

  CHyperLink();
  ~CHyperLink() override;

  // Stores the address; once the window exists, also refits the control to its current text
  // and updates the tool-tip.
  void SetLinkUrl(CString url);
  const CString& GetLinkUrl() const { return m_url; }

  // The window's dots per inch changed (a move to a monitor of another scale): the fonts are made
  // again for them and the link refitted to the text it was last fitted to, at the same place.
  void SetDpi(int dpi);

  // What screen readers are told: the name of the default action in the notice's language; and,
  // before the notice is hidden for good, that the link is gone (its object disconnected).
  void SetActionName(CString name) { m_accessible.SetActionName(std::move(name)); }
  void DisconnectReaders() { m_accessible.Disconnect(); }

  BOOL DestroyWindow() override;
  // Relays every message to the tool-tip.
  BOOL PreTranslateMessage(MSG* message) override;

 protected:
  void PreSubclassWindow() override;
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  HBRUSH CtlColor(HDC dc);
  BOOL OnSetCursor();
  void OnMouseMove();
  void OnTimer();
  void OnLinkClicked();
  BOOL OnEraseBkgnd(HDC dc);
  BOOL OnKeyDown(WPARAM key, LPARAM flags);
  void OnPaint();
  void FitToText(const CString& text);
  void LoadHandCursor();
  void SetDisplayFont(const CFont& font);
  void CreateFonts(int dpi);

  COLORREF m_linkColour;
  COLORREF m_visitedColour;
  COLORREF m_hoverColour;
  BOOL m_pointerOver = FALSE;
  BOOL m_visited = FALSE;
  int m_underlineMode = -1;
  BOOL m_fitToText = TRUE;
  CString m_url;
  CFont m_underlinedFont;
  CFont m_plainFont;
  LOGFONTW m_baseFont = {};  // the font it was bound with, at m_baseDpi
  int m_baseDpi = 0;
  CString m_fittedText;  // what the last fit measured
  // The alignment every fit keeps: the style the link was bound with. The link of a mirrored
  // notice is later drawn right-aligned, but stays fitted from the edge it was first fitted to.
  DWORD m_fitStyle = 0;
  CLinkAccessibility m_accessible;
  ScopedIcon m_handCursor;  // a private copy
  CToolTipCtrl m_urlTip;
  UINT m_hoverTimerId = 100;
};

// A private copy of the help program's hand cursor where it is installed; elsewhere (most systems
// since Vista) of the system's own hand, so that the link always looks like a link. The caller
// destroys it.
HCURSOR LoadLinkHandCursor();

// The colour to draw one of the link's colours in on the background. Where the link's own colour
// (not yet visited) reads there (a contrast of at least 4.5, WCAG 2's for text) and the system is
// not in high-contrast mode, the scheme is one the link's colours were made for: the colour itself.
// Elsewhere (a dark or high-contrast scheme) the colour itself where it reads, else the system's
// colour for links where that reads, else the system's text colour for that background.
COLORREF LinkColourOn(COLORREF background, COLORREF colour, COLORREF linkColour, bool highContrast,
                      COLORREF systemLink, COLORREF systemText);

// The text colour: hover over visited over not yet visited.
COLORREF LinkTextColour(bool pointerOver, bool visited, COLORREF link, COLORREF visitedColour,
                        COLORREF hover);

// The window rectangle that fits a text of the given extent, in the parent's coordinates: the
// text plus the window's border, placed by the static control's alignment style (centred,
// right-aligned or left-aligned; centred vertically with SS_CENTERIMAGE, else top-aligned).
RECT FitLinkRect(RECT window, const RECT& client, SIZE text, DWORD style);
