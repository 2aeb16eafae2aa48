// The screen as another program sees it: dialogs of a process and pictures of screen areas.
#pragma once

#include <windows.h>

#include <string>

// A visible dialog of the process: with no owner given, one that has no owner (the main
// dialog); otherwise one owned by owner (a message box). Null when there is none.
HWND FindVisibleDialog(DWORD processId, HWND owner);

// Writes a PNG of a screen area to a Unix path, through ImageMagick's "import" on the X display;
// false when no picture was written within a few seconds.
bool ScreenshotToPng(const RECT& area, const std::wstring& unixPath);
