#include "tests/harness/dialog_driver.h"

#include <cstdlib>
#include <vector>

#include "framework/unique_handle.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/text_file.h"

namespace {

constexpr DWORD kPollMs = 20;
constexpr DWORD kScreenshotWaitMs = 15000;
constexpr wchar_t kDialogClass[] = L"#32770";

struct Search {
  DWORD processId;
  HWND owner;  // null: the dialog itself; otherwise a box owned by it
  HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  wchar_t windowClass[64] = {};
  ::GetClassNameW(window, windowClass, 64);
  if (processId != search->processId || wcscmp(windowClass, kDialogClass) != 0 ||
      !::IsWindowVisible(window)) {
    return TRUE;
  }
  const HWND owner = ::GetWindow(window, GW_OWNER);
  if ((search->owner == nullptr) != (owner == nullptr) ||
      (search->owner != nullptr && owner != search->owner)) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

// Polls for the window until it appears or, when process is given, the process ends.
HWND WaitFor(DWORD processId, HWND owner, HANDLE process, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    Search search{processId, owner, nullptr};
    ::EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      Pause(100);  // let it finish painting
      return search.found;
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
  if (folder == nullptr) return false;
  const RECT rect = ScreenRect(window);
  // A Unix program started from here runs as a Unix process: ImageMagick photographs the X
  // screen the dialog is on.
  const std::wstring target = FromUtf8(folder) + L"/" + name + L".png";
  std::wstring command =
      L"/usr/bin/import -silent -window root -crop " + std::to_wstring(rect.right - rect.left) +
      L"x" + std::to_wstring(rect.bottom - rect.top) + L"+" + std::to_wstring(rect.left) + L"+" +
      std::to_wstring(rect.top) + L" " + target;
  // The Unix path of the picture, as this process sees it through drive Z:.
  std::wstring dosPath = L"Z:" + target;
  for (wchar_t& c : dosPath) {
    if (c == L'/') c = L'\\';
  }
  ::DeleteFileW(dosPath.c_str());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return false;
  }
  ScopedHandle(info.hThread).reset();
  ScopedHandle(info.hProcess).reset();
  // Wine does not report when a Unix program ends: wait for its picture instead. ImageMagick
  // writes to a temporary name and renames, so a file that exists is complete.
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < kScreenshotWaitMs) {
    std::string bytes;
    if (ReadFileBytes(dosPath, bytes) && !bytes.empty()) return true;
    ::Sleep(kPollMs);
  }
  return false;
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
