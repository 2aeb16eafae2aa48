// Drives the notice dialog of a running Brantel.exe from the test process, as a user would.
#pragma once

#include <windows.h>

#include <string>

// The visible dialog of the process, once it has appeared; fails the test after timeoutMs.
HWND WaitForDialog(DWORD processId, DWORD timeoutMs = 20000);
// The visible dialog of the process, or null once the process has ended without one.
HWND WaitForDialogOrExit(HANDLE process, DWORD timeoutMs = 20000);
// A message box owned by the dialog, once it has appeared; fails the test after timeoutMs.
HWND WaitForMessageBox(DWORD processId, HWND dialog, DWORD timeoutMs = 20000);

std::wstring ControlText(HWND dialog, int id);
RECT ScreenRect(HWND window);

// Clicks a static or button control with posted mouse messages at its centre.
void ClickControl(HWND control);

// Writes a PNG of the window's screen area to <screenshot folder>\<name>.png; the folder comes
// from BRANTEL_SCREENSHOTS (a Unix path). Returns false when no picture was written.
bool SaveScreenshot(HWND window, const std::wstring& name);

// The screen's pixels in a rectangle, as 0x00RRGGBB, row by row.
struct Pixels {
  LONG width = 0;
  LONG height = 0;
  std::basic_string<DWORD> rgb;
  DWORD At(LONG x, LONG y) const { return rgb[static_cast<size_t>(y * width + x)]; }
};
Pixels CapturePixels(const RECT& rect);

// Lets the other process work for a while.
void Pause(DWORD ms);
