// Where the notice opens and how it comes to the user: centred on the work area of the monitor
// that shows the installer that started it, in front where the system allows that.
#pragma once

#include <windows.h>

// A visible top-level window of the nearest ancestor of this process that has one (the installer
// that started it, directly or through other programs); null when none has. A parent id names an
// ancestor only while that process started before its child: ids are reused.
HWND FindCallerWindow();

// The work area of the monitor that shows the caller's window, else of the monitor that shows the
// foreground window, else of the primary monitor.
RECT NoticeWorkArea(HWND caller);

// The top-left corner of a window of that size centred on the work area; a window larger than the
// work area at its top-left corner (in either direction), never off it.
POINT CentredOn(const RECT& workArea, SIZE window);

// Where the notice is put: centred on NoticeWorkArea(FindCallerWindow()). A move to a monitor of
// another scale resizes it on the way (WM_DPICHANGED, from Windows 8.1 on), which the system may
// send while the move runs or after it has returned: either way the notice is centred again at its
// new size, on the same work area, as long as it is where it was put. A notice moved since (by the
// user) keeps the rectangle the system suggests.
class CNoticePlacement {
 public:
  void Place(HWND notice);
  // On WM_DPICHANGED, around the window's default handling of it (defaultHandling, whose result it
  // returns): the notice takes the suggested rectangle, and is centred again when the change came
  // from its placement. Where the notice is, is judged before the default handling: from Windows
  // 10 1703 on, the dialog manager resizes a per-monitor dialog there itself ("DDC_DEFAULT",
  // "DIALOG_DPI_CHANGE_BEHAVIORS enumeration"), which judged after it would read as the user's
  // move.
  template <typename DefaultHandling>
  LRESULT Rescale(HWND notice, const RECT& suggested, DefaultHandling defaultHandling) {
    const bool placed = WherePlaced(notice);
    const LRESULT result = defaultHandling();
    TakeSuggested(notice, suggested, placed);
    return result;
  }

 private:
  void Centre(HWND notice);
  bool WherePlaced(HWND notice) const;
  void TakeSuggested(HWND notice, const RECT& suggested, bool centre);

  RECT work_ = {};
  RECT placed_ = {};  // where the last move put it
  bool placing_ = false;
};

// Brings the shown notice to the front; where the system refuses (another program has the user's
// attention), flashes its taskbar button until the user turns to it.
void BringNoticeForward(HWND notice);
