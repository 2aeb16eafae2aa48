#include "tests/harness/dialog_driver.h"

#include <cstdlib>
#include <vector>

#include "framework/unique_handle.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/screen.h"
#include "tests/harness/text_file.h"

namespace {

constexpr DWORD kPollMs = 20;

// Polls for the window until it appears or, when process is given, the process ends.
HWND WaitFor(DWORD processId, HWND owner, HANDLE process, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    const HWND found = FindVisibleDialog(processId, owner);
    if (found != nullptr) {
      Pause(100);  // let it finish painting
      return found;
    }
    if (process != nullptr && ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return nullptr;
    if (::GetTickCount() - start > timeoutMs) FAIL("no window appeared in ", timeoutMs, " ms");
    ::Sleep(kPollMs);
  }
}

}  // namespace

HWND WaitForDialog(DWORD processId, DWORD timeoutMs) {
  return WaitFor(processId, nullptr, nullptr, timeoutMs);
}

HWND WaitForDialogOrExit(HANDLE process, DWORD timeoutMs) {
  return WaitFor(::GetProcessId(process), nullptr, process, timeoutMs);
}

HWND WaitForMessageBox(DWORD processId, HWND dialog, DWORD timeoutMs) {
  return WaitFor(processId, dialog, nullptr, timeoutMs);
}

std::wstring ControlText(HWND dialog, int id) {
  HWND control = ::GetDlgItem(dialog, id);
  REQUIRE(control != nullptr);
  std::vector<wchar_t> text(8192, L'\0');
  DWORD_PTR copied = 0;
  ::SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
  return std::wstring(text.data(), copied);
}

RECT ScreenRect(HWND window) {
  RECT rect = {};
  ::GetWindowRect(window, &rect);
  return rect;
}

void ClickControl(HWND control) {
  RECT client;
  ::GetClientRect(control, &client);
  const LPARAM at = MAKELPARAM(client.right / 2, client.bottom / 2);
  ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(control, WM_LBUTTONUP, 0, at);
}

bool SaveScreenshot(HWND window, const std::wstring& name) {
  const char* folder = std::getenv("BRANTEL_SCREENSHOTS");
  return folder != nullptr &&
         ScreenshotToPng(ScreenRect(window), FromUtf8(folder) + L"/" + name + L".png");
}

Pixels CapturePixels(const RECT& rect) {
  Pixels pixels;
  pixels.width = rect.right - rect.left;
  pixels.height = rect.bottom - rect.top;
  pixels.rgb.resize(static_cast<size_t>(pixels.width * pixels.height));
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof(format.bmiHeader);
  format.bmiHeader.biWidth = pixels.width;
  format.bmiHeader.biHeight = -pixels.height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(memory, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, pixels.width, pixels.height, screen, rect.left, rect.top, SRCCOPY);
  ::GdiFlush();
  const auto* source = static_cast<const DWORD*>(bits);
  for (size_t i = 0; i < pixels.rgb.size(); ++i) pixels.rgb[i] = source[i] & 0x00FFFFFF;
  ::SelectObject(memory, previous);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return pixels;
}

void Pause(DWORD ms) { ::Sleep(ms); }
