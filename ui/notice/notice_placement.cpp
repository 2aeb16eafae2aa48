#include "ui/notice/notice_placement.h"

#include "framework/unique_handle.h"
#include "process/process_list.h"

namespace {

struct WindowSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchVisibleWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !::IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

// When the process started, or 0 when that cannot be asked (it has ended, or refuses).
ULONGLONG StartTime(DWORD processId) {
  const ScopedHandle process(::OpenProcess(QueryRight(), FALSE, processId));
  return process ? ProcessStartTime(process.get()) : 0;
}

}  // namespace

HWND FindCallerWindow() {
  const CArray<PROCESSENTRY32W> processes = ListProcesses();
  DWORD child = ::GetCurrentProcessId();
  ULONGLONG childStart = StartTime(child);
  for (size_t depth = 0; depth < processes.size(); ++depth) {
    DWORD parent = 0;
    for (const PROCESSENTRY32W& process : processes) {
      if (process.th32ProcessID == child) parent = process.th32ParentProcessID;
    }
    const ULONGLONG parentStart = parent != 0 && parent != child ? StartTime(parent) : 0;
    if (parentStart == 0 || childStart == 0 || parentStart > childStart) return nullptr;
    WindowSearch search = {parent, nullptr};
    ::EnumWindows(&MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    child = parent;
    childStart = parentStart;
  }
  return nullptr;
}

RECT NoticeWorkArea(HWND caller) {
  const HWND shown = caller != nullptr ? caller : ::GetForegroundWindow();
  const POINT origin = {0, 0};
  const HMONITOR monitor = shown != nullptr ? ::MonitorFromWindow(shown, MONITOR_DEFAULTTOPRIMARY)
                                            : ::MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  if (::GetMonitorInfoW(monitor, &info)) return info.rcWork;
  RECT work = {};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

POINT CentredOn(const RECT& workArea, SIZE window) {
  const LONG spareX = workArea.right - workArea.left - window.cx;
  const LONG spareY = workArea.bottom - workArea.top - window.cy;
  return POINT{workArea.left + (spareX > 0 ? spareX / 2 : 0),
               workArea.top + (spareY > 0 ? spareY / 2 : 0)};
}

void CNoticePlacement::Place(HWND notice) {
  work_ = NoticeWorkArea(FindCallerWindow());
  Centre(notice);
}

// A centred notice stays on the work area's monitor: a second move there changes no scale.
void CNoticePlacement::Centre(HWND notice) {
  RECT window;
  if (!::GetWindowRect(notice, &window)) return;
  const POINT at = CentredOn(work_, SIZE{window.right - window.left, window.bottom - window.top});
  placing_ = true;
  ::SetWindowPos(notice, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  placing_ = false;
  ::GetWindowRect(notice, &placed_);
}

// Still where the last move put it, or being put there.
bool CNoticePlacement::WherePlaced(HWND notice) const {
  RECT now = {};
  return placing_ ||
         (::GetWindowRect(notice, &now) && now.left == placed_.left && now.top == placed_.top &&
          now.right == placed_.right && now.bottom == placed_.bottom);
}

void CNoticePlacement::TakeSuggested(HWND notice, const RECT& suggested, bool centre) {
  ::SetWindowPos(notice, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  if (centre) Centre(notice);
}

void BringNoticeForward(HWND notice) {
  if (::GetForegroundWindow() == notice || ::SetForegroundWindow(notice)) return;
  FLASHWINFO flash = {};
  flash.cbSize = sizeof(flash);
  flash.hwnd = notice;
  flash.dwFlags = FLASHW_TRAY | FLASHW_TIMERNOFG;
  ::FlashWindowEx(&flash);
}
