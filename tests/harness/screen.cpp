#include "tests/harness/screen.h"

#include "framework/unique_handle.h"
#include "tests/harness/text_file.h"

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";
constexpr DWORD kPollMs = 20;
constexpr DWORD kScreenshotWaitMs = 15000;

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

}  // namespace

HWND FindVisibleDialog(DWORD processId, HWND owner) {
  Search search{processId, owner, nullptr};
  ::EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool ScreenshotToPng(const RECT& area, const std::wstring& unixPath) {
  // A Unix program started from a Win32 one runs as a Unix process: ImageMagick photographs the
  // X screen the windows are on.
  std::wstring command =
      L"/usr/bin/import -silent -window root -crop " + std::to_wstring(area.right - area.left) +
      L"x" + std::to_wstring(area.bottom - area.top) + L"+" + std::to_wstring(area.left) + L"+" +
      std::to_wstring(area.top) + L" " + unixPath;
  // The picture as this process sees it, through drive Z:.
  std::wstring dosPath = L"Z:" + unixPath;
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
