// Inside a Win32 process: the string lookup's limits, the link's fallback command, what the
// launcher hands the platform, and the platform's other answers, forced through its imports.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#define DOCTEST_CONFIG_NO_MULTITHREADING
#include <doctest/doctest.h>
#include <windows.h>
#include <oleacc.h>
#include <commctrl.h>

#include <array>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <tuple>
#include <utility>

#include "app/program_paths.h"
#include "app/system_probes.h"
#include "framework/dll_search_path.h"
#include "framework/system_library.h"
#include "framework/unique_handle.h"
#include "framework/win_app.h"
#include "framework/wnd.h"
#include "log/log_to_file.h"
#include "process/run_process.h"
#include "process/terminate_caller_setup.h"
#include "tests/harness/files.h"
#include "ui/link/desktop_user.h"
#include "ui/link/hyperlink.h"
#include "ui/link/link_navigation.h"
#include "ui/notice/localized_strings.h"
#include "ui/notice/notice_placement.h"
#include "ui/notice/notice_texts.h"

namespace {

const std::wstring kBox = L"C:\\brantel-units", kBuild = GetModuleDirectory().c_str();

// A folder under kBox ("" for kBox itself), made when it is missing.
std::wstring Folder(const std::wstring& name) {
  ::CreateDirectoryW(kBox.c_str(), nullptr);
  ::CreateDirectoryW((kBox + L"\\" + name).c_str(), nullptr);
  return name.empty() ? kBox : kBox + L"\\" + name;
}

void** ImportSlot(const char* function) {
  auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
  const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
      base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
  for (; library->Name != 0; ++library) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      const auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (!IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) &&
          std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
        return reinterpret_cast<void**>(&slots->u1.Function);
      }
    }
  }
  return nullptr;
}

// Points this program's import of a platform function, which the program's code linked into it
// calls too, at another function while it lives.
struct Patch {
  template <typename Function>
  Patch(const char* function, Function with) : slot(ImportSlot(function)) {
    REQUIRE(slot != nullptr);
    DWORD protection = 0;
    ::VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection);
    original = std::exchange(*slot, reinterpret_cast<void*>(with));
  }
  ~Patch() { *slot = original; }
  void** const slot;
  void* original;
};

// Run-time lookups as an older system answers them: a name in g_exports gets its entry (null:
// "not there"), any other name the platform's answer.
std::map<std::string, void*> g_exports;
void* g_getProcAddress = nullptr;
FARPROC WINAPI LookUp(HMODULE module, LPCSTR name) {
  const auto entry = HIWORD(name) != 0 ? g_exports.find(name) : g_exports.end();
  if (entry != g_exports.end()) return reinterpret_cast<FARPROC>(entry->second);
  return reinterpret_cast<decltype(&LookUp)>(g_getProcAddress)(module, name);
}
LPVOID WINAPI LockNothing(HGLOBAL) { return nullptr; }  // a resource found that cannot be locked

}  // namespace

CLogToFile theLog((Folder(L"log") + L"\\Vorn.log").c_str());

TEST_CASE("the string lookup stays inside its buffer and leaves it alone when it finds nothing") {
  std::wstring buffer(kLocalizedStringUnits, L'#');
  CHECK(LoadStringForLanguage(4000, &buffer[0], MAKELANGID(9, 2)) == 4095);
  CHECK(buffer.substr(4090, 6) == std::wstring(L"01234\0", 6));
  buffer.assign(kLocalizedStringUnits, L'#');
  ::SetLastError(0);
  CHECK(LoadStringForLanguage(0xFFFF0, &buffer[0], 2057) == 0);
  CHECK(::GetLastError() == ERROR_RESOURCE_NAME_NOT_FOUND);
  CHECK(LoadStringForLanguage(4001, &buffer[0], 2057) == 0);
  const Patch lock("LockResource", &LockNothing);
  CHECK(LoadStringForLanguage(4000, &buffer[0], MAKELANGID(9, 2)) == 0);
  CHECK(buffer == std::wstring(kLocalizedStringUnits, L'#'));
}

TEST_CASE("the text's search finds a text that ends at the end, and nothing past it") {
  const CString text = L"abcabc";
  CHECK((text.find(L"abc", 1) == 3 && text.find(L"c", 5) == 5 && text.find(L"abcabc") == 0));
  CHECK((text.find(L"", 6) == 6 && text.find(L"", 7) == CString::npos));
  CHECK((text.find(L"abc", 4) == CString::npos && text.find(L"abcabcx") == CString::npos));
}

TEST_CASE("a link the shell refuses is opened by the command for web pages, or reported") {
  // the command line for http://x/ from a template: cut before the placeholder, else appended
  for (const auto& row : {std::make_pair(L"b.exe %1 -x", L"b.exe  http://x/"),
                          std::make_pair(L"b.exe", L"b.exe http://x/")}) {
    CString commandLine;
    CHECK(
        (BuildFallbackCommand(row.first, L"http://x/", commandLine) && commandLine == row.second));
  }
  CString untouched = L"untouched";  // a command line that does not fit its buffer
  CHECK_FALSE(BuildFallbackCommand(CString(515, L'b'), L"http://x/", untouched));
  CHECK(untouched == CString(L"untouched"));
}

TEST_CASE("the link's colours stay where its own reads; elsewhere each that does not gives way") {
  const COLORREF blue = RGB(0, 0, 238), red = RGB(255, 0, 0), white = RGB(255, 255, 255);
  CHECK(LinkColourOn(RGB(240, 240, 240), red, blue, false, white, 0) == red);  // 3.5, with blue
  CHECK(LinkColourOn(white, red, blue, true, blue, 0) == blue);  // 4.0, in high contrast
  CHECK(LinkColourOn(0, red, blue, false, RGB(255, 255, 0), white) == red);   // 5.3 on black
  CHECK(LinkColourOn(0, blue, blue, false, RGB(0, 0, 128), white) == white);  // nor the system's
}

namespace {

// What the launcher hands the platform: its import of CreateProcessW, replaced in this program
// (the launcher is linked into it).
std::wstring g_request;  // application, command line, folder, inheritance and flags
decltype(&::CreateProcessW) g_createProcess = nullptr;

BOOL WINAPI RecordingCreateProcess(LPCWSTR application, LPWSTR commandLine,
                                   LPSECURITY_ATTRIBUTES process, LPSECURITY_ATTRIBUTES thread,
                                   BOOL inherit, DWORD flags, LPVOID environment, LPCWSTR directory,
                                   LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info) {
  const BOOL started = g_createProcess(application, commandLine, process, thread, inherit, flags,
                                       environment, directory, startup, info);
  g_request = std::wstring(application ? application : L"<none>") + L"|" + commandLine + L"|" +
              directory + L"|" + std::to_wstring(inherit) + L"|" + std::to_wstring(flags);
  return started;  // with the platform's last error when it failed
}

// The platform's answers of a newer or an older system, as this program's imports give them.
BOOL g_vista = TRUE, g_defaultSet = TRUE;
DWORD g_session = 1;
std::wstring g_calls, g_openLog = kBox + L"\\opens.txt";  // setters' calls; rights opened with
void* g_openProcess = nullptr;
BOOL WINAPI VerifyVersion(OSVERSIONINFOEXW*, DWORD, DWORDLONG) { return g_vista; }
bool g_otherSessions = false;  // every process but this one in another session
BOOL WINAPI SessionOf(DWORD id, DWORD* session) {
  *session = g_session + (g_otherSessions && id != ::GetCurrentProcessId());
  return TRUE;
}
BOOL WINAPI SetDefault(DWORD flags) { return g_calls += std::to_wstring(flags), g_defaultSet; }
BOOL WINAPI SetDirectory(LPCWSTR path) { return g_calls += L"'" + std::wstring(path) + L"'", 1; }
UINT WINAPI SystemFolderUnread(LPWSTR folder, UINT) { return folder ? 0 : MAX_PATH; }  // size, 0
// The log file as a reparse point of the tag g_tag (0: none), as each system's file information and
// the reparse data (Windows XP's way to the tag) give it.
DWORD g_tag = 0;
void *g_infoEx = nullptr, *g_info = nullptr;
constexpr int kAttributeTagInfo = 9;  // FileAttributeTagInfo: attributes, then the tag
BOOL WINAPI TaggedInfoEx(HANDLE file, int kind, void* info, DWORD size) {
  const BOOL got = reinterpret_cast<decltype(&TaggedInfoEx)>(g_infoEx)(file, kind, info, size);
  if (kind == kAttributeTagInfo && g_tag != 0) {
    static_cast<DWORD*>(info)[0] |= FILE_ATTRIBUTE_REPARSE_POINT;
    static_cast<DWORD*>(info)[1] = g_tag;
  }
  return got;
}
BOOL WINAPI TaggedInfo(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
  const BOOL got = reinterpret_cast<decltype(&TaggedInfo)>(g_info)(file, info);
  if (g_tag != 0) info->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  return got;
}
BOOL WINAPI TagData(HANDLE, DWORD, void*, DWORD, void* data, DWORD, DWORD*, OVERLAPPED*) {
  static_cast<REPARSE_GUID_DATA_BUFFER*>(data)->ReparseTag = g_tag;
  ::SetLastError(ERROR_MORE_DATA);  // the fixed part only
  return FALSE;
}
bool g_denyEnd = false;  // the first open with the right to end is denied, as an elevated one's
HANDLE WINAPI OpenRecorded(DWORD rights, BOOL inherit, DWORD id) {
  AppendUtf8(g_openLog, std::to_wstring(rights) + L" ");
  if ((rights & PROCESS_TERMINATE) && std::exchange(g_denyEnd, false)) return nullptr;
  return reinterpret_cast<decltype(&OpenRecorded)>(g_openProcess)(rights, inherit, id);
}

// WaitForInputIdle for a program that is never idle: after the time given, a timeout while it
// runs, and once it has ended what its documentation leaves open, a timeout too, counted. Asked to
// wait without end, it would never return ("does not return until the process is idle").
constexpr int kHang = 1000;
int g_idleAskedAfterEnd = 0;
DWORD WINAPI NeverIdle(HANDLE process, DWORD waitMs) {
  if (waitMs == INFINITE)
    g_idleAskedAfterEnd = kHang;
  else if (::WaitForSingleObject(process, waitMs) == WAIT_OBJECT_0)
    ++g_idleAskedAfterEnd;
  return g_idleAskedAfterEnd < kHang ? WAIT_TIMEOUT : WAIT_FAILED;  // ends a wait that spins
}

// A cursor's hot spot: the help program's hand (the program's icon made a cursor) has its own.
std::pair<DWORD, DWORD> HotSpot(HCURSOR cursor) {
  ICONINFO info = {};
  ::GetIconInfo(cursor, &info);
  ::DeleteObject(info.hbmMask);
  ::DeleteObject(info.hbmColor);
  return {info.xHotspot, info.yHotspot};
}

}  // namespace

TEST_CASE("the launcher starts the program by its full path, quoted, inheriting nothing") {
  const std::wstring exe = Folder(L"kit dir") + L"\\ie setup.exe";
  REQUIRE(::CopyFileW((kBuild + L"\\recorder.exe").c_str(), exe.c_str(), FALSE));
  const Patch create("CreateProcessW", &RecordingCreateProcess);
  g_createProcess = reinterpret_cast<decltype(g_createProcess)>(create.original);

  const CString folder = GetParentDirectory(exe.c_str());
  // It waits until the program ends, never longer nor spinning, whatever WaitForInputIdle answers
  // once it has ended: with a main window that others may send to meanwhile, and without.
  const Patch idle("WaitForInputIdle", &NeverIdle);
  CWinApp app;
  CWnd notice;
  notice.m_hWnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr,
                                    nullptr, nullptr);
  for (CWnd* const window : {static_cast<CWnd*>(nullptr), &notice}) {
    app.m_pMainWnd = window;
    g_idleAskedAfterEnd = 0;
    ScopedHandle process;
    CHECK(RunProcess(exe.c_str(), L"/a  /b", folder, true, process) == 0);
    CHECK(g_idleAskedAfterEnd <= 1);
    // nothing inherited (0), in a process group of its own (CREATE_NEW_PROCESS_GROUP, 512)
    CHECK(g_request == exe + L"|\"" + exe + L"\" /a  /b|" + folder.c_str() + L"|0|512");
  }
  ::DestroyWindow(notice.m_hWnd);
}

TEST_CASE("on a newer or an older system, each takes its own way to the same result") {
  const Patch lookUp("GetProcAddress", &LookUp), version("VerifyVersionInfoW", &VerifyVersion),
      session("ProcessIdToSessionId", &SessionOf);
  g_getProcAddress = lookUp.original;
  // The DLL search path: the system folder alone where the system can, else no current folder.
  struct SearchPath {
    bool setDefaultThere;  // SetDefaultDllDirectories, from Windows 8 (and XP with an update) on
    BOOL setDefaultWorks;
    const wchar_t* calls;  // its flags (LOAD_LIBRARY_SEARCH_SYSTEM32), SetDllDirectoryW's folder
  };
  for (const SearchPath& row : {SearchPath{true, TRUE, L"2048"}, SearchPath{true, FALSE, L"2048''"},
                                SearchPath{false, TRUE, L"''"}}) {
    g_exports = {{"SetDefaultDllDirectories",
                  row.setDefaultThere ? reinterpret_cast<void*>(&SetDefault) : nullptr},
                 {"SetDllDirectoryW", reinterpret_cast<void*>(&SetDirectory)}};
    g_calls.clear();
    g_defaultSet = row.setDefaultWorks;
    HardenDllSearchPath();
    CHECK(g_calls == row.calls);
  }
  // The log is written to a file with one name that leads nowhere else: never through a second name
  // of another file, a symbolic link or a junction (a mount point); a placeholder of a synced
  // folder and a deduplicated file are written as any file. From Windows Vista on, the file's
  // information answers; Windows XP reads the tag from the reparse data.
  const std::wstring other = Folder(L"log") + L"\\other.txt", log = Folder(L"log") + L"\\x.log";
  const Patch info("GetFileInformationByHandle", &TaggedInfo), data("DeviceIoControl", &TagData);
  g_info = info.original;
  g_infoEx = reinterpret_cast<void*>(
      LookUp(::GetModuleHandleW(L"kernel32.dll"), "GetFileInformationByHandleEx"));
  for (void* const infoEx : {reinterpret_cast<void*>(&TaggedInfoEx), static_cast<void*>(nullptr)}) {
    g_exports = {{"GetFileInformationByHandleEx", infoEx}};
    struct LogFile {
      bool secondName;   // the log a second name of another file
      DWORD reparseTag;  // 0: no reparse point
      bool written;
    };
    for (const LogFile& row : {LogFile{false, 0, true}, LogFile{true, 0, false},
                               LogFile{false, IO_REPARSE_TAG_SYMLINK, false},
                               LogFile{false, IO_REPARSE_TAG_MOUNT_POINT, false},
                               LogFile{false, IO_REPARSE_TAG_CLOUD_6, true},
                               LogFile{false, IO_REPARSE_TAG_DEDUP, true}}) {
      for (const std::wstring& file : {log, other}) ::DeleteFileW(file.c_str());
      AppendUtf8(other, L"other\n");
      if (row.secondName) REQUIRE(::CreateHardLinkW(log.c_str(), other.c_str(), nullptr));
      g_tag = row.reparseTag;
      CLogToFile(log.c_str()).WriteLine(L"line", true);
      CHECK(ReadUtf8(other) == L"other\n");
      CHECK((ReadUtf8(log).find(L"line.") != std::wstring::npos) == row.written);
    }
  }
  g_tag = 0;
  // Only Wine's static control needs the reading order on its device context.
  for (const bool wine : {true, false}) {
    g_exports = {{wine ? "" : "wine_get_version", nullptr}};
    CHECK(MirroredTextNeedsReadingOrder() == wine);
  }
  // From Windows Vista on, nobody sees session 0.
  struct Session {
    BOOL vista;
    DWORD session;
    bool seen;
  };
  for (const Session& row :
       {Session{TRUE, 1, true}, Session{TRUE, 0, false}, Session{FALSE, 0, true}}) {
    g_vista = row.vista;
    g_session = row.session;
    CHECK(NoticeCanBeSeen() == row.seen);
  }
  // setup.exe opened once, with the least query right and the right to end it; others only
  // queried, kit.exe too: this walks again, under kit.exe, as the row says.
  const std::wstring box = Folder(L"setup"), setup = box + L"\\setup.exe", kit = box + L"\\kit.exe";
  const Patch open("OpenProcess", &OpenRecorded);
  g_openProcess = open.original;
  if (const wchar_t* const walking = std::wcsstr(::GetCommandLineW(), L" --query=")) {
    g_vista = std::wcstoul(walking + 9, nullptr, 0) == 0x1000;
    g_denyEnd = std::wcsstr(walking, L"denied") != nullptr;
    g_otherSessions = std::wcsstr(walking, L"other-session") != nullptr;
    TerminateCallerSetup(L"");
    return;  // the process that started it checks what was asked
  }
  for (const std::wstring& exe : {setup, kit})
    REQUIRE(::CopyFileW((kBuild + L"\\recorder.exe").c_str(), exe.c_str(), FALSE));
  for (const std::wstring& file : {setup + L".run", setup + L".exitcode"})
    ::DeleteFileW(file.c_str());
  AppendUtf8(setup + L".run", L"\"" + kit + L"\"");
  AppendUtf8(setup + L".exitcode", L"7");
  const std::wstring walk = L"\"" + kBuild + L"\\unit_test.exe\" -m -tc=\"on a newer*\" --query=";
  struct Walk {
    DWORD query;         // the least query right: Vista's on, XP's
    const wchar_t* how;  // setup.exe elevated (its end denied), or in another user's session
    DWORD code;  // ended (1602, cancelled), or its own exit code where it is not to be ended
    int opens;   // of setup.exe: once by the walk through the ancestors, once more by the list
  };
  for (const Walk& row : {Walk{0x1000, L"", 1602, 1}, Walk{PROCESS_QUERY_INFORMATION, L"", 1602, 1},
                          Walk{0x1000, L"denied", 7, 1}, Walk{0x1000, L"other-session", 7, 2}}) {
    for (const auto& file : {kit + L".run", g_openLog}) ::DeleteFileW(file.c_str());
    AppendUtf8(kit + L".run", walk + std::to_wstring(row.query) + L" " + row.how);
    ScopedHandle process;
    RunProcess(setup.c_str(), L"", L"", false, process);
    DWORD code = 0;
    CHECK(::WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0);
    CHECK((::GetExitCodeProcess(process.get(), &code) && code == row.code));
    ::TerminateProcess(process.get(), 1);  // never left running for the next row
    // kit.exe queried, setup.exe opened to be ended; after it, once more, the walk's next ancestor
    const std::string kitAndSetup =
        std::to_string(row.query) + " " + std::to_string(row.query | PROCESS_TERMINATE) + " ";
    CHECK(ToUtf8(ReadUtf8(g_openLog)) ==
          (row.opens == 1 ? kitAndSetup : kitAndSetup + kitAndSetup));
  }
}

TEST_CASE("where the system folder cannot be read, no library is loaded, not one at the root") {
  REQUIRE(::CopyFileW((kBuild + L"\\module_marker.dll").c_str(), L"C:\\planted.dll", FALSE));
  REQUIRE(::SetCurrentDirectoryW(kBox.c_str()));  // on drive C:
  const Patch folder("GetSystemDirectoryW", &SystemFolderUnread);
  CHECK(!LoadSystemLibrary(L"planted.dll"));
}

TEST_CASE("the link's hand is the help program's where it has one, else the system's") {
  const std::wstring help = L"C:\\windows\\winhlp32.exe", saved = help + L".saved";
  const auto ours = HotSpot(::LoadCursorW(::GetModuleHandleW(nullptr), L"#106"));
  const auto system = HotSpot(::LoadCursorW(nullptr, IDC_HAND));
  REQUIRE(ours != system);
  ::MoveFileW(help.c_str(), saved.c_str());
  // the help program, as data only: one with a hand cursor (this program), one that records
  // every load of itself, none
  struct Help {
    const wchar_t* file;
    std::pair<DWORD, DWORD> hotSpot;
  };
  for (const Help& row :
       {Help{L"unit_test.exe", ours}, Help{L"module_marker.dll", system}, Help{L"", system}}) {
    for (const std::wstring& file : {help, help + L".loaded"}) ::DeleteFileW(file.c_str());
    ::CopyFileW((kBuild + L"\\" + row.file).c_str(), help.c_str(), FALSE);
    const ScopedIcon hand(LoadLinkHandCursor());
    CHECK(HotSpot(hand.get()) == row.hotSpot);
    CHECK(::GetFileAttributesW((help + L".loaded").c_str()) == INVALID_FILE_ATTRIBUTES);
  }
  ::MoveFileExW(saved.c_str(), help.c_str(), MOVEFILE_REPLACE_EXISTING);
}

namespace {

// This process's token as another account's (IsWellKnownSid says yes to g_account alone) and
// elevation's (g_elevation; -1: the question fails, as on Windows XP). What opens a page, instead
// of opening one: the shell (recorded, answering 42), a program started as a user (recorded), the
// desktop's shell (refused where g_noShell), the signed-in user's token (refused without
// g_userToken) and classes (a key of the units').
WELL_KNOWN_SID_TYPE g_account = WinNullSid;
int g_elevation = TokenElevationTypeFull;
bool g_noShell = false, g_userToken = false;
std::wstring g_opened;
void *g_tokenInformation = nullptr, *g_createInstance = nullptr;
BOOL WINAPI AccountIs(PSID, WELL_KNOWN_SID_TYPE account) { return account == g_account; }
BOOL WINAPI Elevation(HANDLE token, TOKEN_INFORMATION_CLASS kind, void* data, DWORD size,
                      DWORD* used) {
  if (kind != TokenElevationType)
    return reinterpret_cast<decltype(&Elevation)>(g_tokenInformation)(token, kind, data, size,
                                                                      used);
  *static_cast<int*>(data) = g_elevation;
  return g_elevation >= 0 ? TRUE : (::SetLastError(ERROR_INVALID_PARAMETER), FALSE);
}
HINSTANCE WINAPI ShellOpens(HWND, LPCWSTR, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
  g_opened += L"shell:" + std::wstring(file);
  return reinterpret_cast<HINSTANCE>(42);
}
BOOL WINAPI StartsAsUser(HANDLE, LPCWSTR program, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
                         LPSECURITY_ATTRIBUTES, BOOL, DWORD flags, LPVOID environment, LPCWSTR,
                         LPSTARTUPINFOW startup, LPPROCESS_INFORMATION) {
  g_opened += L"user:" + std::wstring(program) + L"|" + commandLine + L"|" + startup->lpDesktop +
              L"|" + std::to_wstring(flags) + L"|" + std::to_wstring(environment != nullptr);
  return TRUE;
}
HRESULT WINAPI ShellWindows(REFCLSID server, IUnknown* outer, DWORD context, REFIID iid,
                            void** out) {
  if (g_noShell) return REGDB_E_CLASSNOTREG;
  return reinterpret_cast<decltype(&ShellWindows)>(g_createInstance)(server, outer, context, iid,
                                                                     out);
}
BOOL WINAPI UserToken(ULONG, HANDLE* token) {
  if (!g_userToken) return ::SetLastError(ERROR_PRIVILEGE_NOT_HELD), FALSE;
  return ::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, token);
}
LONG WINAPI UserClasses(HANDLE, DWORD, REGSAM, HKEY* classes) {
  ::RegSetValueW(HKEY_CURRENT_USER, L"Software\\brantel-units\\.htm", REG_SZ, L"page", 0);
  ::RegSetValueW(HKEY_CURRENT_USER, L"Software\\brantel-units\\page\\shell\\open\\command", REG_SZ,
                 L"\"C:\\page.exe\" \"%1\"", 0);
  return ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\brantel-units", 0, KEY_READ, classes);
}

}  // namespace

// Under Wine every program is elevated and the desktop's shell answers: the end-to-end rows show
// the page started by it. Here the other tokens, and the shell or the user's token refused.
TEST_CASE("the page opens with the rights of the person at the screen, never with more") {
  const Patch account("IsWellKnownSid", &AccountIs), elevation("GetTokenInformation", &Elevation),
      shell("ShellExecuteW", &ShellOpens), asUser("CreateProcessAsUserW", &StartsAsUser),
      classes("RegOpenUserClassesRoot", &UserClasses), lookUp("GetProcAddress", &LookUp);
  g_tokenInformation = elevation.original;
  g_getProcAddress = lookUp.original;
  g_createInstance = reinterpret_cast<void*>(
      ::GetProcAddress(LoadSystemLibrary(L"ole32.dll").release(), "CoCreateInstance"));
  g_exports = {{"CoCreateInstance", reinterpret_cast<void*>(&ShellWindows)},
               {"WTSQueryUserToken", reinterpret_cast<void*>(&UserToken)}};
  struct Row {
    WELL_KNOWN_SID_TYPE account;
    int elevation;
    PageOpener opener;
  };
  for (const Row& row : {Row{WinNullSid, TokenElevationTypeFull, PageOpener::kDesktopShell},
                         Row{WinNullSid, TokenElevationTypeLimited, PageOpener::kThisProcess},
                         Row{WinNullSid, TokenElevationTypeDefault, PageOpener::kThisProcess},
                         Row{WinNullSid, -1, PageOpener::kThisProcess},
                         Row{WinLocalSystemSid, TokenElevationTypeFull, PageOpener::kSessionUser},
                         Row{WinNetworkServiceSid, -1, PageOpener::kSessionUser}}) {
    g_account = row.account;
    g_elevation = row.elevation;
    CHECK(ChoosePageOpener() == row.opener);
  }
  // What opens http://x/, and what OpenLink answers: the shell where the desktop's serves none; the
  // user's own ".htm" command as the user, on the interactive desktop, with the user's
  // environment; nothing at all for a system account without the user's token.
  struct Opening {
    WELL_KNOWN_SID_TYPE account;
    bool userToken;
    const wchar_t* opened;
    int result;
    const char* logged;
  };
  const HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr,
                                        nullptr, nullptr);
  CWnd link;
  link.m_hWnd =
      ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 9, 9, parent, nullptr, nullptr, nullptr);
  g_elevation = TokenElevationTypeFull;
  g_noShell = true;
  const std::wstring log = Folder(L"log") + L"\\Vorn.log";
  for (const Opening& row :
       {Opening{WinNullSid, false, L"shell:http://x/", 42,
                "Can't open link as the desktop's user, error: 0x80040154."},
        Opening{WinLocalSystemSid, false, L"", kPageLeftToUser,
                "Can't open link as the signed-in user, error: 1314."},
        Opening{WinLocalSystemSid, true,
                L"user:C:\\page.exe|\"C:\\page.exe\"  http://x/|winsta0\\default|1024|1", 33,
                ""}}) {
    g_account = row.account;
    g_userToken = row.userToken;
    g_opened.clear();
    const size_t logged = ReadUtf8(log).size();
    CHECK(OpenLink(&link, L"http://x/") == row.result);
    CHECK(g_opened == row.opened);
    CHECK(ToUtf8(ReadUtf8(log).substr(logged)).find(row.logged) != std::string::npos);
  }
  g_noShell = false;
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
  ::DestroyWindow(parent);
  link.m_hWnd = nullptr;
}

namespace {

// Two monitors side by side, as this program's imports give them: a window on the second when it
// is g_onSecond, any other monitor the first; the taskbar button's flashing, recorded.
HWND g_foreground = nullptr, g_onSecond = nullptr;
DWORD g_flashed = 0;
const auto kFirst = reinterpret_cast<HMONITOR>(1), kSecond = reinterpret_cast<HMONITOR>(2);
HMONITOR WINAPI MonitorOf(HWND window, DWORD) { return window == g_onSecond ? kSecond : kFirst; }
BOOL WINAPI WorkAreaOf(HMONITOR monitor, MONITORINFO* info) {
  return info->rcWork = monitor == kSecond ? RECT{1280, 0, 3200, 1040} : RECT{0, 0, 1280, 984}, 1;
}
HWND WINAPI Foreground() { return g_foreground; }
BOOL WINAPI Refuse(HWND) { return FALSE; }
BOOL WINAPI Flash(PFLASHWINFO flash) { return g_flashed = flash->dwFlags, TRUE; }

// LresultFromObject as this program looks it up: hands the object over as it is (Wine's 64-bit
// accessibility library carries none, even within a process).
IAccessible* g_read = nullptr;
LRESULT WINAPI HandOut(REFIID, WPARAM, LPUNKNOWN object) {
  return object->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&g_read)) == S_OK;
}
// The conversion at 200 %, of points inside the window only, as its documentation asks.
BOOL WINAPI Doubled(HWND window, POINT* point) {
  RECT box;
  if (!::GetWindowRect(window, &box) || !::PtInRect(&box, *point)) return FALSE;
  point->x *= 2;
  point->y *= 2;
  return TRUE;
}
DWORD WINAPI Away() { return MAKELONG(30000, 30000); }  // the pointer's place, far off the link

}  // namespace

TEST_CASE("the notice centres on the caller's monitor, else the foreground's, else the first") {
  const Patch monitor("MonitorFromWindow", &MonitorOf), area("GetMonitorInfoW", &WorkAreaOf),
      front("GetForegroundWindow", &Foreground), refuse("SetForegroundWindow", &Refuse),
      flash("FlashWindowEx", &Flash);
  const auto a = reinterpret_cast<HWND>(0x10), b = reinterpret_cast<HWND>(0x20);
  g_onSecond = b;
  struct Monitor {
    HWND caller;
    HWND foreground;
    LONG workAreaLeft;  // 1280: the second monitor's
  };
  for (const Monitor& row : {Monitor{b, a, 1280}, Monitor{nullptr, b, 1280}, Monitor{a, b, 0},
                             Monitor{nullptr, nullptr, 0}}) {
    g_foreground = row.foreground;
    CHECK(NoticeWorkArea(row.caller).left == row.workAreaLeft);
  }
  // larger than the work area: at its top-left corner, never off it (centred: below)
  const POINT larger = CentredOn(RECT{1280, 0, 3200, 1040}, SIZE{2000, 1100});
  CHECK((larger.x == 1280 && larger.y == 0));
  BringNoticeForward(a);  // refused the foreground: flashes until the user turns to it
  CHECK(g_flashed == (FLASHW_TRAY | FLASHW_TIMERNOFG));
  // A late change of scale, the notice resized to the suggested 600 by 300 by the default handling
  // (as the dialog manager does from Windows 10 1703 on): where it was put, it is centred again on
  // the first monitor at that size; moved by the user, it keeps the suggested rectangle.
  const HWND notice = ::CreateWindowExW(0, L"#32770", L"", WS_POPUP, 0, 0, 400, 200, nullptr,
                                        nullptr, nullptr, nullptr);
  const auto resize = [notice] { return ::SetWindowPos(notice, nullptr, 9, 9, 600, 300, 0); };
  for (const bool moved : {false, true}) {
    CNoticePlacement placement;
    placement.Place(notice);
    if (moved) ::SetWindowPos(notice, nullptr, 0, 0, 0, 0, SWP_NOSIZE);
    placement.Rescale(notice, RECT{9, 9, 609, 309}, resize);
    RECT now;
    ::GetWindowRect(notice, &now);
    CHECK((now.left == (moved ? 9 : 340) && now.top == (moved ? 9 : 342) &&
           now.right - now.left == 600));
  }
  ::DestroyWindow(notice);
}

// Run again as a grandchild of itself, which then expects the window named in the environment.
TEST_CASE("the caller's window is the nearest ancestor's visible one") {
  if (const wchar_t* const expected = _wgetenv(L"BRANTEL_CALLER")) {
    CHECK(reinterpret_cast<UINT_PTR>(FindCallerWindow()) == std::wcstoul(expected, nullptr, 10));
    return;
  }
  const HWND window = ::CreateWindowExW(0, L"STATIC", L"caller", WS_POPUP, 0, 0, 9, 9, nullptr,
                                        nullptr, nullptr, nullptr);
  for (const bool visible : {true, false}) {
    ::ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
    const auto caller = std::to_wstring(visible ? reinterpret_cast<UINT_PTR>(window) : 0);
    ::SetEnvironmentVariableW(L"BRANTEL_CALLER", caller.c_str());
    ScopedHandle child;  // through a program without windows: the grandparent's is the one
    const std::wstring grandchild = L"/c \"" + kBuild + L"\\unit_test.exe\" -tc=*nearest*";
    CHECK(RunProcess(L"C:\\windows\\system32\\cmd.exe", grandchild.c_str(), L"", true, child) == 0);
  }
  ::SetEnvironmentVariableW(L"BRANTEL_CALLER", nullptr);
  ::DestroyWindow(window);
}

// What the link hands a screen reader through WM_GETOBJECT (the first request of this process, so
// that the lookup is forced); its default action is the click's own path: the shell opens the
// address (here a recorder, so that no message box waits) and the notice is told.
TEST_CASE("the link is read as a link, and its default action is its click") {
  const std::wstring page = Folder(L"link") + L"\\page.exe";
  REQUIRE(::CopyFileW((kBuild + L"\\recorder.exe").c_str(), page.c_str(), FALSE));
  const HWND parent = ::CreateWindowExW(0, L"#32770", L"", WS_POPUP | WS_VISIBLE, 9, 9, 400, 40,
                                        nullptr, nullptr, nullptr, nullptr);
  CHyperLink link;  // its address is its text
  REQUIRE(link.SubclassWindow(::CreateWindowExW(0, L"STATIC", page.c_str(), WS_CHILD | WS_VISIBLE,
                                                0, 0, 300, 20, parent, nullptr, nullptr, nullptr)));
  const Patch lookUp("GetProcAddress", &LookUp), front("GetForegroundWindow", &Foreground);
  g_getProcAddress = lookUp.original;
  g_exports = {{"LresultFromObject", reinterpret_cast<void*>(&HandOut)}};
  REQUIRE(::SendMessageW(link.m_hWnd, WM_GETOBJECT, 0, OBJID_CLIENT) == 1);
  VARIANT self = {}, role = {}, state = {};
  self.vt = VT_I4;
  BSTR name = nullptr;
  g_read->get_accRole(self, &role);
  g_read->get_accState(self, &state);
  g_read->get_accName(self, &name);
  CHECK((role.lVal == ROLE_SYSTEM_LINK && state.lVal == 0x500000 && name == page));
  // The focus, taken through the object or not: the link's, or nothing's (VT_EMPTY); S_FALSE
  // for both while its window is not in front, where keystrokes go elsewhere.
  CHECK(g_read->accSelect(SELFLAG_TAKESELECTION, self) == E_INVALIDARG);
  struct Focus {
    bool taken;
    bool inFront;
    HRESULT answer;  // of accSelect and get_accFocus
    VARTYPE focused;
  };
  for (const Focus& row : {Focus{true, true, S_OK, VT_I4}, Focus{false, true, S_OK, VT_EMPTY},
                           Focus{true, false, S_FALSE, VT_EMPTY}}) {
    g_foreground = row.inFront ? parent : nullptr;
    ::SetFocus(nullptr);
    const HRESULT took = row.taken ? g_read->accSelect(SELFLAG_TAKEFOCUS, self) : S_OK;
    VARIANT focus = {};
    CHECK(took == row.answer);
    CHECK(g_read->get_accFocus(&focus) == row.answer);
    CHECK(focus.vt == row.focused);
    CHECK((::GetFocus() == link.m_hWnd) == row.taken);
  }
  // Resting on it shows its address: its window's tool-tip holds one tool, the link.
  HWND tip = nullptr;
  do tip = ::FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr);
  while (tip != nullptr && ::GetWindow(tip, GW_OWNER) != parent);
  wchar_t text[MAX_PATH] = {};
  TOOLINFOW tool = {TTTOOLINFOW_V2_SIZE, 0, nullptr, 0, {}, nullptr, text, 0, nullptr};
  CHECK((::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0) == 1 &&
         ::SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)) &&
         tool.hwnd == link.m_hWnd && text == page));
  // Physical screen coordinates: before Windows 8.1 the window's, then as converted at 200 %.
  RECT box;
  ::GetWindowRect(link.m_hWnd, &box);
  for (const LONG scale : {1, 2}) {
    g_exports["LogicalToPhysicalPointForPerMonitorDPI"] =
        scale == 2 ? reinterpret_cast<void*>(&Doubled) : nullptr;
    LONG x = 0, y = 0, width = 0, height = 0;
    VARIANT hit = {};
    g_read->accLocation(&x, &y, &width, &height, self);
    g_read->accHitTest(box.right * scale - 1, box.bottom * scale - 1, &hit);
    CHECK((x == box.left * scale && y == box.top * scale && hit.vt == VT_I4 &&
           width == (box.right - box.left) * scale && height == (box.bottom - box.top) * scale));
  }
  // The pointer over the link underlines it; once it has left, the link is plain again.
  const Patch pointer("GetMessagePos", &Away);
  for (const UINT message : {WM_MOUSEMOVE, WM_TIMER}) {
    ::SendMessageW(link.m_hWnd, message, 0, 0);
    LOGFONTW font = {};
    ::GetObjectW(reinterpret_cast<HGDIOBJ>(::SendMessageW(link.m_hWnd, WM_GETFONT, 0, 0)),
                 sizeof(font), &font);
    CHECK(font.lfUnderline == (message == WM_MOUSEMOVE));
  }
  CHECK(g_read->accDoDefaultAction(self) == S_OK);
  MSG message = {};
  for (int i = 0; i < 500 && message.message != WM_LINK_OPENED; ++i) {
    if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) && message.message != WM_LINK_OPENED)
      ::DispatchMessageW(&message);
    else
      ::Sleep(10);
  }
  CHECK((message.hwnd == parent && message.message == WM_LINK_OPENED));
  ::SysFreeString(name);
  g_read->Release();
  ::DestroyWindow(parent);
}
