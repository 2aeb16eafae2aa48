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

// Moves the notice to the centre of NoticeWorkArea(FindCallerWindow()).
void PlaceNotice(HWND notice);

// Brings the shown notice to the front; where the system refuses (another program has the user's
// attention), flashes its taskbar button until the user turns to it.
void BringNoticeForward(HWND notice);
