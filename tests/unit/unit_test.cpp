// Inside a Win32 process: the built Brantel.exe's resources, the string lookup's limits, the
// version reader's rules, the link's fallback command, and what the launcher hands the platform.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#define DOCTEST_CONFIG_NO_MULTITHREADING
#include <doctest/doctest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/program_paths.h"
#include "framework/common_controls.h"
#include "framework/dll_search_path.h"
#include "framework/unique_handle.h"
#include "log/log_to_file.h"
#include "process/file_version_info.h"
#include "process/run_process.h"
#include "tests/harness/files.h"
#include "ui/hyperlink.h"
#include "ui/link_navigation.h"
#include "ui/localized_strings.h"

namespace {

const std::wstring kBox = L"C:\\brantel-units";
const std::wstring kBuild = std::wstring(GetModuleDirectory().c_str());

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
// calls too, at another function; returns what it pointed at.
template <typename Function>
void* Patch(const char* function, Function with) {
  void** slot = ImportSlot(function);
  REQUIRE(slot != nullptr);
  DWORD protection = 0;
  ::VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection);
  void* const original = *slot;
  *slot = reinterpret_cast<void*>(with);
  return original;
}

// Run-time lookups as an older system answers them: a name in g_exports gets its entry (null:
// "not there"), any other name the platform's answer.
std::map<std::string, void*> g_exports;
void* g_getProcAddress = nullptr;
FARPROC WINAPI LookUp(HMODULE module, LPCSTR name) {
  const auto entry = HIWORD(name) != 0 ? g_exports.find(name) : g_exports.end();
  if (entry != g_exports.end()) return reinterpret_cast<FARPROC>(entry->second);
  return reinterpret_cast<decltype(&LookUp)>(g_getProcAddress)(module, name);
}

}  // namespace

CLogToFile theLog((Folder(L"log") + L"\\Vorn.log").c_str());

TEST_CASE("the version reader picks the string table the rules choose") {
  // two translations (code page << 16 | language), the user's language, the one chosen
  const DWORD rows[][4] = {
      {0x04B00409, 0x04E40410, 0x0410, 0x04E40410},  // the same language
      {0x04B00409, 0x04E40810, 0x0410, 0x04E40810},  // the same low byte
      {0x04B00409, 0x04B00000, 0x0410, 0x04B00000},  // language 0
      {0x04B00C00, 0x04B00409, 0x0410, 0x04B00C00},  // low byte 0
      {0x04B00407, 0x04B00809, 0x0410, 0x04B00809},  // English by its low byte
      {0x04B00407, 0x04B0040C, 0x0410, 0x04B00407},  // else the first
  };
  for (const auto& row : rows) {
    DWORD chosen = 0;
    CHECK(CFileVersionInfo::ChooseTranslation(CArray<DWORD>{row[0], row[1]},
                                              static_cast<LANGID>(row[2]), chosen));
    CHECK(chosen == row[3]);
  }
  DWORD untouched = 7;
  CHECK_FALSE(CFileVersionInfo::ChooseTranslation(CArray<DWORD>(), 0x0409, untouched));
  CHECK(untouched == 7);
  CHECK(CFileVersionInfo::StringTablePrefix(0x04E40410) ==
        CString(L"\\StringFileInfo\\041004E4\\"));
}

TEST_CASE("Brantel.exe carries its resources") {
  const std::wstring exe = kBuild + L"\\Brantel.exe";
  ScopedModule module(::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  REQUIRE(module);
  const auto bytes = [&](LPCWSTR name, LPCWSTR type) {
    HRSRC found = ::FindResourceW(module.get(), name, type);
    REQUIRE(found != nullptr);
    return std::string(
        static_cast<const char*>(::LockResource(::LoadResource(module.get(), found))),
        ::SizeofResource(module.get(), found));
  };
  CHECK(::FindResourceW(module.get(), MAKEINTRESOURCEW(102), RT_DIALOG) != nullptr);
  const std::string icon = bytes(MAKEINTRESOURCEW(128), RT_GROUP_ICON);
  REQUIRE(icon.size() == 6 + 14);
  CHECK(std::memcmp(icon.data(), "\0\0\1\0\1\0\x40\x40", 8) == 0);
  CHECK(icon[12] == 32);  // one image of 64 x 64 pixels at 32 bits
  const std::string manifest = bytes(MAKEINTRESOURCEW(1), RT_MANIFEST);
  CHECK(manifest.find("Common-Controls\" version=\"6.0.0.0\"") != std::string::npos);
  CHECK(manifest.find("level=\"asInvoker\"") != std::string::npos);
  size_t systems = 0;  // Vista, 7, 8, 8.1 and 10
  for (size_t at = 0; (at = manifest.find("<supportedOS", at + 1)) != std::string::npos;) ++systems;
  CHECK(systems == 5);

  std::string version(::GetFileVersionInfoSizeW(exe.c_str(), nullptr), '\0');
  REQUIRE(::GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(version.size()), &version[0]));
  const auto query = [&](const wchar_t* path) {
    void* value = nullptr;
    UINT length = 0;
    REQUIRE(::VerQueryValueW(version.data(), path, &value, &length));
    return value;
  };
  CHECK(*static_cast<DWORD*>(query(L"\\VarFileInfo\\Translation")) == 0x04E40410);
  const auto* fixed = static_cast<VS_FIXEDFILEINFO*>(query(L"\\"));
  CHECK((fixed->dwFileVersionMS == 0x002E0000 && fixed->dwFileVersionLS == 0x00000004));
  for (const wchar_t* name :
       {L"FileDescription", L"InternalName", L"OriginalFilename", L"ProductName"}) {
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041004E4\\") + name;
    CHECK(std::wstring(static_cast<wchar_t*>(query(path.c_str()))) == L"Brantel.exe");
  }
  CHECK(std::wstring(static_cast<wchar_t*>(query(L"\\StringFileInfo\\041004E4\\FileVersion"))) ==
        L"46, 0, 0, 4");
}

TEST_CASE("the string lookup stays inside its buffer and leaves it alone when it finds nothing") {
  std::wstring buffer(kLocalizedStringUnits, L'#');
  CHECK(LoadStringForLanguage(4000, &buffer[0], MAKELANGID(9, 2)) == 4095);
  CHECK(buffer.substr(4090, 6) == std::wstring(L"01234\0", 6));
  buffer.assign(kLocalizedStringUnits, L'#');
  ::SetLastError(0);
  CHECK(LoadStringForLanguage(0xFFFF0, &buffer[0], 2057) == 0);
  CHECK(::GetLastError() == ERROR_RESOURCE_NAME_NOT_FOUND);
  CHECK(LoadStringForLanguage(4001, &buffer[0], 2057) == 0);
  CHECK(buffer == std::wstring(kLocalizedStringUnits, L'#'));
}

TEST_CASE("the text's search finds a text that ends at the end, and nothing past it") {
  const struct {
    const wchar_t* wanted;
    size_t from, at;
  } rows[] = {{L"abc", 0, 0},
              {L"abc", 1, 3},
              {L"c", 5, 5},
              {L"abcabc", 0, 0},
              {L"", 6, 6},
              {L"", 7, CString::npos},
              {L"abc", 4, CString::npos},
              {L"cx", 0, CString::npos},
              {L"abcabcx", 0, CString::npos}};
  for (const auto& row : rows) CHECK(CString(L"abcabc").find(row.wanted, row.from) == row.at);
}

TEST_CASE("a link the shell refuses is opened by the command for web pages, or reported") {
  // a command template, and the command line it gives for http://x/
  const wchar_t* const rows[][2] = {
      {L"\"C:\\B\\b.exe\" -nohome \"%1\"", L"\"C:\\B\\b.exe\" -nohome  http://x/"},
      {L"b.exe %1 -x", L"b.exe  http://x/"},
      {L"b.exe", L"b.exe http://x/"},
  };
  for (const auto& row : rows) {
    CString commandLine;
    CHECK(BuildFallbackCommand(row[0], L"http://x/", commandLine));
    CHECK(commandLine == CString(row[1]));
  }
  CString untouched = L"untouched";  // a command line that does not fit its buffer
  CHECK_FALSE(BuildFallbackCommand(CString(515, L'b'), L"http://x/", untouched));
  CHECK(untouched == CString(L"untouched"));
  CHECK(OpenErrorMessage(-7) ==
        CString(L"Unable to open hyperlink:\n\nUnknown Error (-7) occurred."));
}

namespace {

// What the launcher hands the platform, and gets back: its import of CreateProcessW, replaced in
// this program (the launcher is linked into it).
struct Request {
  std::wstring application, commandLine, directory;
  BOOL inherit;
  DWORD flags;
} g_request;
HANDLE g_process, g_thread;  // this program's own references to what was started
decltype(&::CreateProcessW) g_createProcess = nullptr;

BOOL WINAPI RecordingCreateProcess(LPCWSTR application, LPWSTR commandLine,
                                   LPSECURITY_ATTRIBUTES process, LPSECURITY_ATTRIBUTES thread,
                                   BOOL inherit, DWORD flags, LPVOID environment, LPCWSTR directory,
                                   LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info) {
  const BOOL started = g_createProcess(application, commandLine, process, thread, inherit, flags,
                                       environment, directory, startup, info);
  const HANDLE self = ::GetCurrentProcess();
  g_request = {application ? application : L"<none>", commandLine, directory, inherit, flags};
  if (!started) return FALSE;  // with the platform's last error
  ::DuplicateHandle(self, info->hProcess, self, &g_process, 0, FALSE, DUPLICATE_SAME_ACCESS);
  ::DuplicateHandle(self, info->hThread, self, &g_thread, 0, FALSE, DUPLICATE_SAME_ACCESS);
  return started;
}

// How many handles refer to the object: a handle's value may be reused once it is closed (Wine's
// WaitForInputIdle keeps an event of its own), the count of an object's handles is not.
ULONG Handles(HANDLE object) {
  using QueryObject = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  ULONG basic[14] = {};  // the object's basic information: attributes, access, handle count, ...
  reinterpret_cast<QueryObject>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")))(
      object, 0, basic, sizeof(basic), nullptr);
  return basic[2];
}

}  // namespace

TEST_CASE("the launcher starts the program by its full path, quoted, inheriting nothing") {
  const std::wstring exe = Folder(L"kit dir") + L"\\ie setup.exe";
  REQUIRE(::CopyFileW((kBuild + L"\\recorder.exe").c_str(), exe.c_str(), FALSE));
  g_createProcess =
      reinterpret_cast<decltype(g_createProcess)>(Patch("CreateProcessW", &RecordingCreateProcess));

  const CString folder = GetParentDirectory(exe.c_str());
  {
    ScopedHandle process;
    CHECK(RunProcess(exe.c_str(), L"/a  /b", folder, true, process) == 0);
    CHECK(Handles(g_process) == 2);  // this program's and the caller's
    CHECK(Handles(g_thread) == 1);   // the launcher has released its own
  }
  CHECK(Handles(g_process) == 1);  // the caller has released its own
  ScopedHandle(g_process).reset();
  ScopedHandle(g_thread).reset();
  CHECK(g_request.application == exe);
  CHECK(g_request.commandLine == L"\"" + exe + L"\" /a  /b");
  CHECK(g_request.directory == std::wstring(folder.c_str()));
  CHECK(g_request.inherit == FALSE);
  CHECK(g_request.flags == CREATE_NEW_PROCESS_GROUP);

  ScopedHandle untouched;
  CHECK(RunProcess(folder + L"\\missing.exe", L"", folder, true, untouched) == 2);
  CHECK_FALSE(untouched);
  Patch("CreateProcessW", g_createProcess);
  const std::wstring log = ReadUtf8(theLog.FileName().c_str());
  CHECK(log.find(L"Can't run process, error: 2.\r\n") != std::wstring::npos);
}

namespace {

std::wstring g_calls;  // what the search-path setters were asked, in order
BOOL g_defaultSet = TRUE;
BOOL WINAPI SetDefaultDirectories(DWORD flags) {
  g_calls += L"default " + std::to_wstring(flags) + L";";
  return g_defaultSet;
}
BOOL WINAPI SetDirectory(LPCWSTR folder) {
  return g_calls += L"'" + std::wstring(folder) + L"'", 1;
}

// A cursor's hot spot and the bits of its mask: copies of one cursor compare equal.
std::string CursorImage(HCURSOR cursor) {
  ICONINFO info = {};
  if (cursor == nullptr || !::GetIconInfo(cursor, &info)) return "none";
  std::string bits(64 * 64 * 2 / 8, '\0');
  bits.resize(
      static_cast<size_t>(::GetBitmapBits(info.hbmMask, static_cast<LONG>(bits.size()), &bits[0])));
  ::DeleteObject(info.hbmMask);
  ::DeleteObject(info.hbmColor);
  return std::to_string(info.xHotspot) + "," + std::to_string(info.yHotspot) + ":" + bits;
}

}  // namespace

TEST_CASE("on a system without the later functions, the older ones do their work") {
  g_getProcAddress = Patch("GetProcAddress", &LookUp);
  // The DLL search path: the system folder alone where the system can, else no current folder.
  void* const setDefault = reinterpret_cast<void*>(&SetDefaultDirectories);
  const struct {
    void* present;
    BOOL succeeds;
    const wchar_t* calls;
  } paths[] = {{setDefault, TRUE, L"default 2048;"},
               {setDefault, FALSE, L"default 2048;''"},
               {nullptr, TRUE, L"''"}};
  for (const auto& row : paths) {
    g_exports = {{"SetDefaultDllDirectories", row.present},
                 {"SetDllDirectoryW", reinterpret_cast<void*>(&SetDirectory)}};
    g_calls.clear();
    g_defaultSet = row.succeeds;
    HardenDllSearchPath();
    CHECK(g_calls == row.calls);
  }
  // The log is written to a plain file, never through a second name of another file.
  const std::wstring other = Folder(L"log") + L"\\other.txt", log = Folder(L"log") + L"\\x.log";
  for (const char* missing : {"", "GetFileInformationByHandleEx"}) {
    g_exports = {{missing, nullptr}};
    for (const bool linked : {false, true}) {
      ::DeleteFileW(log.c_str());
      ::DeleteFileW(other.c_str());
      AppendUtf8(other, L"other\n");
      if (linked) REQUIRE(::CreateHardLinkW(log.c_str(), other.c_str(), nullptr));
      CLogToFile(log.c_str()).WriteLine(L"line", true);
      CHECK(ReadUtf8(other) == L"other\n");
      CHECK((ReadUtf8(log).find(L"line.") != std::wstring::npos) == !linked);
    }
  }
  Patch("GetProcAddress", g_getProcAddress);
}

TEST_CASE("the link's hand is the help program's where it has one, else the system's") {
  wchar_t windows[MAX_PATH] = {};
  ::GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring help = std::wstring(windows) + L"\\winhlp32.exe", saved = help + L".saved";
  const std::string ours = CursorImage(::LoadCursorW(::GetModuleHandleW(nullptr), L"#106"));
  const std::string system = CursorImage(::LoadCursorW(nullptr, IDC_HAND));
  REQUIRE(ours != system);
  ::MoveFileW(help.c_str(), saved.c_str());
  const ScopedModule controls = LoadCommonControls(ICC_WIN95_CLASSES);
  // the help program: one with a hand cursor (this one), one without, none
  for (const auto& row : {std::make_pair(L"unit_test.exe", ours),
                          std::make_pair(L"recorder.exe", system), std::make_pair(L"", system)}) {
    ::DeleteFileW(help.c_str());
    ::CopyFileW((kBuild + L"\\" + row.first).c_str(), help.c_str(), FALSE);
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 99, 9, 0, 0, 0, 0);
    CHyperLink link;
    REQUIRE(link.SubclassWindow(
        ::CreateWindowExW(0, L"STATIC", L"http://x/", WS_CHILD, 0, 0, 99, 9, parent, 0, 0, 0)));
    ::SendMessageW(link.m_hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(link.m_hWnd), HTCLIENT);
    CHECK(CursorImage(::GetCursor()) == row.second);
    ::DestroyWindow(parent);
  }
  ::DeleteFileW(help.c_str());
  ::MoveFileW(saved.c_str(), help.c_str());
}
