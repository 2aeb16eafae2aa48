// Drives one scenario inside the Wine prefix, as an installer and a user would:
//   driver <script>
// The script holds one step a line, fields separated by tabs; what the steps see is written, a
// "key<TAB>value" line each, to "<script>.out" (UTF-8):
//   reg-sz KEY NAME TEXT | reg-dword KEY NAME N | reg-del KEY [NAME] | reg-deny-write KEY,
//                        each KEY under HKLM, HKCR or HKCU ("HKLM\SOFTWARE\...")
//   colours BBGGRR x 4   the session's colours of button faces, their text, text and links
//   start EXE ARGS       starts a bystander (a "setup.exe"); its exit code is reported at the end
//   run EXE ARGS         starts the program under test: quoted path, blank, arguments
//   run-hidden-station EXE ARGS   the same in a window station that nobody sees, and waits
//   attach NAME          takes as the program under test the running process of that file name
//   notice ACTION        waits for the notice (or the end), then: none, ok, enter, link, escape,
//                        altf4, close (the last three are then followed by ok), tab-enter,
//                        tab-space (keys to the focus, as a keyboard's go), accessible (the link
//                        read, then focused, read and acted on through its object), reader (its
//                        object kept, then ok), late-reader (ok, then its object first asked for),
//                        quit (posted to its thread), endsession
//   texts                texts, styles, boxes of the notice (0) and its controls, whether the texts
//                        fit, the notice's place on the screen and the primary monitor's work area,
//                        the link as a screen reader reads it
//   dpi N                sends the notice WM_DPICHANGED for N dots per inch, as Windows does, with
//                        its rectangle grown in proportion from its top-left corner; that size and
//                        the link's height
//   shot PATH            a PNG of the notice's window at a Unix path
//   hold-log PATH | release-log MS   a slow writer of the log: holds its lock, then after MS
//                        appends "HELD" and lets the others go
//   wait                 waits for the program under test and reports its whole exit code and
//                        whether a window of its own was visible meanwhile
//   (notice) box         the message box's text, then its OK
#include <windows.h>
#include <oleacc.h>
#include <sddl.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "process/process_list.h"
#include "tests/harness/files.h"

namespace {

constexpr DWORD kNoticeWaitMs = 20000;
constexpr DWORD kExitWaitMs = 30000;
constexpr DWORD kPollMs = 20;
constexpr DWORD kSettleMs = 400;

std::wstring g_out;
// One line a report: a value's backslashes and line ends are escaped as in C.
void Report(const std::wstring& key, const std::wstring& value) {
  std::wstring escaped;
  for (wchar_t c : value)
    escaped += c == L'\n' ? L"\\n" : c == L'\\' ? L"\\\\" : std::wstring(1, c);
  AppendUtf8(g_out, key + L"\t" + escaped + L"\n");
}

void RegistryStep(const std::vector<std::wstring>& f) {
  const HKEY root = f[1][3] == L'R'   ? HKEY_CLASSES_ROOT
                    : f[1][3] == L'U' ? HKEY_CURRENT_USER
                                      : HKEY_LOCAL_MACHINE;  // HKCR, HKCU, HKLM
  const std::wstring path = f[1].substr(5);
  const wchar_t* name = f[2].empty() ? nullptr : f[2].c_str();
  if (f[0] == L"reg-del") {
    if (name == nullptr) ::SHDeleteKeyW(root, path.c_str());
    if (name != nullptr) ::SHDeleteValueW(root, path.c_str(), name);
  } else if (f[0] == L"reg-sz") {
    ::SHSetValueW(root, path.c_str(), name, REG_SZ, f[3].c_str(),
                  static_cast<DWORD>((f[3].size() + 1) * sizeof(wchar_t)));
  } else if (f[0] == L"reg-dword") {
    const DWORD value = std::wcstoul(f[3].c_str(), nullptr, 0);
    ::SHSetValueW(root, path.c_str(), name, REG_DWORD, &value, sizeof(value));
  } else if (f[0] == L"reg-deny-write") {
    ScopedRegKey key;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, WRITE_DAC, key.receive()) == 0 &&
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:(D;;0x6;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
      ::RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor);
      ::LocalFree(descriptor);
    }
  }
}

// An empty exe runs args as a whole command line; desktop is "station\desktop", or null.
HANDLE Start(const std::wstring& exe, const std::wstring& args, DWORD* id = nullptr,
             wchar_t* desktop = nullptr) {
  std::wstring commandLine =
      exe.empty() ? args : L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.lpDesktop = desktop;
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(exe.empty() ? nullptr : exe.c_str(), &commandLine[0], nullptr, nullptr,
                        FALSE, 0, nullptr, L"C:\\", &startup, &info)) {
    Report(L"error", L"cannot start " + exe);
    return nullptr;
  }
  ScopedHandle(info.hThread).reset();
  if (id != nullptr) *id = info.dwProcessId;
  return info.hProcess;
}

DWORD FindProcess(const std::wstring& name) {
  const DWORD start = ::GetTickCount();
  do {
    for (const PROCESSENTRY32W& process : ListProcesses()) {
      if (_wcsicmp(process.szExeFile, name.c_str()) == 0) return process.th32ProcessID;
    }
    ::Sleep(kPollMs);
  } while (::GetTickCount() - start < kNoticeWaitMs);
  return 0;
}

struct Search {
  DWORD processId;
  const wchar_t* className;  // null: any
  std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  if (owner == search->processId && ::IsWindowVisible(window) &&
      (search->className == nullptr || _wcsicmp(name, search->className) == 0)) {
    search->found.push_back(window);
  }
  return TRUE;
}

std::vector<HWND> TopWindows(DWORD processId, const wchar_t* className) {
  Search search{processId, className, {}};
  ::EnumWindows(&Collect, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The visible dialog of the process without an owner (owner null) or owned by owner.
HWND WaitForDialog(HANDLE process, DWORD processId, HWND owner, DWORD waitMs) {
  const DWORD start = ::GetTickCount();
  do {
    for (HWND window : TopWindows(processId, L"#32770")) {
      if (::GetWindow(window, GW_OWNER) == owner) return window;
    }
  } while (::WaitForSingleObject(process, kPollMs) == WAIT_TIMEOUT &&
           ::GetTickCount() - start < waitMs);
  return nullptr;
}

std::wstring Box(const RECT& r) {
  wchar_t text[64];
  wsprintfW(text, L"%ld %ld %ld %ld", r.left, r.top, r.right, r.bottom);
  return text;
}

std::wstring WindowText(HWND window) {
  wchar_t text[8192] = {};
  return std::wstring(text, static_cast<size_t>(::GetWindowTextW(window, text, 8192)));
}

// A key pressed and released on the focus of the notice's thread, as a keyboard's goes.
void PressKey(HWND notice, WPARAM key) {
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof(thread);
  ::GetGUIThreadInfo(::GetWindowThreadProcessId(notice, nullptr), &thread);
  ::PostMessageW(thread.hwndFocus, WM_KEYDOWN, key, 1);
  ::PostMessageW(thread.hwndFocus, WM_KEYUP, key, 0xC0000001);
  ::Sleep(kSettleMs);
}

IAccessible* g_kept = nullptr;  // a screen reader's object of the link, kept

// After OK, while the installer runs: what of it is still shown, and whether the notice answers,
// to a message and to a reader's call of the link's role, on an object kept or (late) first asked
// for now: its result and the role, whether the request, the call and the object's Release
// returned within 2 s, and whether the program was still running then.
void WatchInstallerRun(HANDLE process, DWORD processId, HWND notice, bool late) {
  const DWORD start = ::GetTickCount();
  while (::IsWindowVisible(notice) && ::GetTickCount() - start < kNoticeWaitMs) ::Sleep(kPollMs);
  ::Sleep(3 * kSettleMs);  // the installer has started and is idle
  if (::WaitForSingleObject(process, 0) != WAIT_TIMEOUT) return;
  Report(L"visible-while-installing", std::to_wstring(TopWindows(processId, nullptr).size()));
  DWORD_PTR answer = 0;
  const bool answered =
      ::SendMessageTimeoutW(notice, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer) != 0;
  Report(L"answers-while-installing", answered ? L"1" : L"0");
  const DWORD asked = ::GetTickCount();
  if (late && SUCCEEDED(::CoInitialize(nullptr)))
    ::AccessibleObjectFromWindow(::GetDlgItem(notice, 1000), static_cast<DWORD>(OBJID_CLIENT),
                                 IID_IAccessible, reinterpret_cast<void**>(&g_kept));
  if (g_kept == nullptr) return;
  VARIANT self = {}, role = {};
  self.vt = VT_I4;
  const HRESULT read = g_kept->get_accRole(self, &role);
  g_kept->Release();
  Report(L"reader-while-installing",
         std::to_wstring(read) + L"|" + std::to_wstring(role.lVal) + L"|" +
             std::to_wstring(::GetTickCount() - asked < 2000) + L"|" +
             std::to_wstring(::WaitForSingleObject(process, 0) == WAIT_TIMEOUT));
}

// Role, state, name and default action of a window's client object, read by Active Accessibility
// from this process as a screen reader reads them ("none" where the window serves none); with act,
// after it took the focus through the object, then its default action, as a screen reader's user.
std::wstring Read(HWND window, bool act = false) {
  ::CoInitialize(nullptr);
  IAccessible* accessible = nullptr;
  if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&accessible))))
    return L"none";
  VARIANT self = {}, role = {}, state = {};
  self.vt = VT_I4;
  BSTR name = nullptr, action = nullptr;
  if (act) accessible->accSelect(SELFLAG_TAKEFOCUS, self);
  accessible->get_accRole(self, &role);
  accessible->get_accState(self, &state);
  accessible->get_accName(self, &name);
  accessible->get_accDefaultAction(self, &action);
  const std::wstring read = std::to_wstring(role.lVal) + L"|" + std::to_wstring(state.lVal) + L"|" +
                            (name ? name : L"") + L"|" + (action ? action : L"");
  ::SysFreeString(name);
  ::SysFreeString(action);
  if (act) accessible->accDoDefaultAction(self);
  accessible->Release();
  return read;
}

void AnswerBox(HWND box) {
  Report(L"message-box", WindowText(::GetDlgItem(box, 0xFFFF)));
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

void Notice(HANDLE process, DWORD processId, const std::wstring& action) {
  const HWND notice = WaitForDialog(process, processId, nullptr, kNoticeWaitMs);
  if (notice == nullptr || action == L"none") return;
  ::Sleep(kSettleMs);
  const HWND ok = ::GetDlgItem(notice, IDOK);
  if (action == L"escape" || action == L"altf4" || action == L"close") {
    if (action == L"escape") PressKey(notice, VK_ESCAPE);
    if (action == L"altf4") ::PostMessageW(notice, WM_SYSKEYDOWN, VK_F4, 1 | 1 << 29);
    if (action == L"close") ::PostMessageW(notice, WM_CLOSE, 0, 0);
    ::Sleep(kSettleMs);
    Report(L"open-after-" + action, ::IsWindowVisible(notice) ? L"1" : L"0");
  }
  if (action == L"quit") ::PostThreadMessageW(::GetWindowThreadProcessId(notice, 0), WM_QUIT, 0, 0);
  if (action == L"endsession") {  // as the system ends a session at logoff
    for (UINT message : {WM_QUERYENDSESSION, WM_ENDSESSION}) {
      DWORD_PTR ignored = 0;
      ::SendMessageTimeoutW(notice, message, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 2000, &ignored);
    }
  }
  if (action == L"quit" || action == L"endsession") return;
  if (action == L"tab-enter" || action == L"tab-space") {
    PressKey(notice, VK_TAB);
    return PressKey(notice, action == L"tab-enter" ? VK_RETURN : VK_SPACE);
  }
  if (action == L"accessible") {  // as a screen reader reads the link and acts on it
    Report(L"read1000", Read(::GetDlgItem(notice, 1000)));
    return Report(L"read1000-focused", Read(::GetDlgItem(notice, 1000), true));
  }
  if (action == L"box") return AnswerBox(notice);
  if (action == L"link") {
    ::PostMessageW(::GetDlgItem(notice, 1000), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    ::PostMessageW(::GetDlgItem(notice, 1000), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));  // a click
    if (HWND box = WaitForDialog(process, processId, notice, 2000)) AnswerBox(box);
    return;
  }
  if (action == L"reader" && SUCCEEDED(::CoInitialize(nullptr)))
    ::AccessibleObjectFromWindow(::GetDlgItem(notice, 1000), static_cast<DWORD>(OBJID_CLIENT),
                                 IID_IAccessible, reinterpret_cast<void**>(&g_kept));
  if (action == L"enter") {
    PressKey(notice, VK_RETURN);
  } else {
    ::PostMessageW(notice, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  }
  WatchInstallerRun(process, processId, notice, action == L"late-reader");
}

// Whether the control's text, word-wrapped in the dialog's font (8-point Verdana), fits its height.
bool Fits(HWND notice, HWND control) {
  RECT client;
  ::GetClientRect(control, &client);
  HDC dc = ::GetDC(notice);
  const ScopedFont font(::CreateFontW(-::MulDiv(8, ::GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0,
                                      FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Verdana"));
  HGDIOBJ previous = ::SelectObject(dc, font.get());
  const std::wstring text = WindowText(control);
  RECT needed = client;
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  ::SelectObject(dc, previous);
  ::ReleaseDC(notice, dc);
  return needed.bottom <= client.bottom && needed.right <= client.right;
}

void Texts(HANDLE process, DWORD processId) {
  const HWND notice = WaitForDialog(process, processId, nullptr, kNoticeWaitMs);
  if (notice == nullptr) return;
  RECT place, work;
  ::GetWindowRect(notice, &place);
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  Report(L"place", Box(place));
  Report(L"work", Box(work));
  for (int id : {0, IDOK, 1000, 1001, 1003, 1004}) {
    const HWND control = id == 0 ? notice : ::GetDlgItem(notice, id);
    const std::wstring n = std::to_wstring(id);
    RECT at;  // the control's box in the window, as a shot of the window has it
    ::GetWindowRect(control, &at);
    wchar_t styles[96];
    wsprintfW(styles, L"%08lX %08lX %ld %ld %ld %ld", ::GetWindowLongW(control, GWL_STYLE),
              ::GetWindowLongW(control, GWL_EXSTYLE), at.left - place.left, at.top - place.top,
              at.right - at.left, at.bottom - at.top);
    RECT box = at;  // x, y, width and height in the notice's client area (the notice's: its own)
    ::MapWindowPoints(nullptr, notice, reinterpret_cast<POINT*>(&box), 2);
    if (id == 0) ::GetClientRect(notice, &box);
    Report(L"client" + n, Box({box.left, box.top, box.right - box.left, box.bottom - box.top}));
    Report(L"text" + n, WindowText(control));
    if (id == 1001 || id == 1004) Report(L"fits" + n, Fits(notice, control) ? L"1" : L"0");
    Report(L"style" + n, styles);
  }
  Report(L"read1000", Read(::GetDlgItem(notice, 1000)));
}

// The message reaches the notice with a pointer into its own memory, as the system's does.
void ChangeDpi(HANDLE process, DWORD processId, int dpi) {
  const HWND notice = WaitForDialog(process, processId, nullptr, kNoticeWaitMs);
  RECT r, link;
  ::GetWindowRect(notice, &r);
  ::GetWindowRect(::GetDlgItem(notice, 1000), &link);
  r.right = r.left + ::MulDiv(r.right - r.left, dpi, 96);
  r.bottom = r.top + ::MulDiv(r.bottom - r.top, dpi, 96);
  void* remote = ::VirtualAllocEx(process, nullptr, sizeof(r), MEM_COMMIT, PAGE_READWRITE);
  ::WriteProcessMemory(process, remote, &r, sizeof(r), nullptr);
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(notice, 0x02E0, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote),
                        SMTO_ABORTIFHUNG, kExitWaitMs, &ignored);
  Report(L"suggested", Box(RECT{0, 0, r.right - r.left, r.bottom - r.top}));
  Report(L"link-before", std::to_wstring(link.bottom - link.top));
}

// A PNG of the notice's window at a Unix path, by ImageMagick's "import" (run as a Unix process).
void Shot(HANDLE process, DWORD processId, const std::wstring& path) {
  const HWND notice = WaitForDialog(process, processId, nullptr, kNoticeWaitMs);
  if (notice == nullptr) return;
  ::Sleep(kSettleMs);
  RECT r;
  ::GetWindowRect(notice, &r);
  wchar_t command[1024];  // wsprintfW's limit
  wsprintfW(command, L"/usr/bin/import -silent -window root -crop %ldx%ld+%ld+%ld %s",
            r.right - r.left, r.bottom - r.top, r.left, r.top, path.c_str());
  ScopedHandle taking(Start(L"", command));
  ::WaitForSingleObject(taking.get(), kExitWaitMs);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  g_out = std::wstring(argv[1]) + L".out";
  ::DeleteFileW(g_out.c_str());
  ScopedHandle target;
  DWORD targetId = 0;
  std::vector<ScopedHandle> bystanders;
  ScopedFileHandle log;
  OVERLAPPED region = {};  // the byte far past any end of the log that its writers lock
  region.Offset = 0xFFFFFFFE;
  region.OffsetHigh = 0x7FFFFFFF;
  const std::wstring script = ReadUtf8(argv[1]);
  for (size_t at = 0, end; at < script.size(); at = end + 1) {
    end = script.find(L'\n', at);
    if (end == std::wstring::npos) end = script.size();
    std::vector<std::wstring> f(1);
    for (wchar_t c : script.substr(at, end - at)) {
      if (c == L'\t') f.emplace_back();
      if (c != L'\t' && c != L'\r') f.back() += c;
    }
    f.resize(4);
    if (f[0].compare(0, 4, L"reg-") == 0) RegistryStep(f);
    if (f[0] == L"colours") {
      const INT elements[] = {COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_WINDOWTEXT, COLOR_HOTLIGHT};
      COLORREF c[4] = {};
      swscanf(f[1].c_str(), L"%lx %lx %lx %lx", &c[0], &c[1], &c[2], &c[3]);
      ::SetSysColors(4, elements, c);
    }
    if (f[0] == L"start") bystanders.emplace_back(Start(f[1], f[2]));
    if (f[0] == L"run") target.reset(Start(f[1], f[2], &targetId));
    if (f[0] == L"run-hidden-station") {
      // A window station created without WSF_VISIBLE, as a service's is: nobody sees it.
      HWINSTA own = ::GetProcessWindowStation();
      HWINSTA station = ::CreateWindowStationW(L"BrantelHidden", 0, WINSTA_ALL_ACCESS, nullptr);
      ::SetProcessWindowStation(station);
      HDESK desk = ::CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
      ::SetProcessWindowStation(own);
      wchar_t desktop[] = L"BrantelHidden\\Default";
      target.reset(Start(f[1], f[2], &targetId, desktop));
      ::WaitForSingleObject(target.get(), kExitWaitMs);
      ::CloseDesktop(desk);
      ::CloseWindowStation(station);
    }
    if (f[0] == L"attach") {
      targetId = FindProcess(f[1]);
      target.reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, targetId));
    }
    if (f[0] == L"notice") Notice(target.get(), targetId, f[1]);
    if (f[0] == L"texts") Texts(target.get(), targetId);
    if (f[0] == L"shot") Shot(target.get(), targetId, f[1]);
    if (f[0] == L"dpi") ChangeDpi(target.get(), targetId, std::wcstol(f[1].c_str(), nullptr, 10));
    if (f[0] == L"hold-log") {  // takes the writers' lock of the log at f[1], as a slow writer
      log.reset(::CreateFileW(f[1].c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                              nullptr));
      ::LockFileEx(log.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &region);
    }
    if (f[0] == L"release-log") {  // after f[1] ms, appends a line and lets the writers go
      DWORD written = 0;
      ::Sleep(std::wcstoul(f[1].c_str(), nullptr, 0));
      ::WriteFile(log.get(), "HELD\r\n", 6, &written, nullptr);
      ::UnlockFileEx(log.get(), 0, 1, 0, &region);
    }
    if (f[0] == L"wait") {
      bool shown = false;
      const DWORD start = ::GetTickCount();
      while (::WaitForSingleObject(target.get(), kPollMs) == WAIT_TIMEOUT &&
             ::GetTickCount() - start < kExitWaitMs)
        shown = shown || !TopWindows(targetId, nullptr).empty();
      Report(L"windows", shown ? L"1" : L"0");
      if (::WaitForSingleObject(target.get(), 0) != WAIT_OBJECT_0) {
        Report(L"exit", L"timeout");
        ::TerminateProcess(target.get(), 1);
      } else {
        DWORD code = 0;
        ::GetExitCodeProcess(target.get(), &code);
        Report(L"exit", std::to_wstring(static_cast<int>(code)));
      }
    }
  }
  for (size_t i = 0; i < bystanders.size(); ++i) {
    ::WaitForSingleObject(bystanders[i].get(), 2000);
    DWORD code = 0;
    ::GetExitCodeProcess(bystanders[i].get(), &code);
    Report(L"bystander" + std::to_wstring(i),
           code == STILL_ACTIVE ? L"running" : std::to_wstring(code));
    ::TerminateProcess(bystanders[i].get(), 0);
  }
  return 0;
}
