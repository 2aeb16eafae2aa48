// Libraries planted beside Brantel.exe and in a Brantel.exe.local folder. Each planted copy is the
// load marker, which leaves "<its path>.loaded" when a process loads it.
//
// Wine prefers its built-in libraries, so this suite runs with the loader told to prefer native
// copies of the planted names ("version,comctl32=n,b"), as Windows' search order would for
// libraries that are not KnownDLLs: a copy in the program's folder is then found first.
#include <windows.h>

#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "res/resource.h"
#include "tests/hardening/brantel_runs.h"
#include "tests/harness/dialog_driver.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/harness.h"

namespace {

std::wstring Lower(std::wstring text) {
  if (!text.empty()) ::CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

// The mark a load of this file leaves. The marker names it after the module's path as the loader
// reports it, which keeps the letter case of the name that was asked for ("VERSION.dll").
std::wstring MarkOf(const std::wstring& path) { return Lower(path + L".loaded"); }

// Every load mark under the folder and its subfolders, in lower case.
std::vector<std::wstring> LoadMarks(const std::wstring& folder) {
  std::vector<std::wstring> marks;
  WIN32_FIND_DATAW found = {};
  HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return marks;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      const std::vector<std::wstring> inner = LoadMarks(path);
      marks.insert(marks.end(), inner.begin(), inner.end());
    } else if (EndsWith(name, L".loaded")) {
      marks.push_back(Lower(path));
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return marks;
}

// Plants the load marker under the names whose loading is up to Brantel.exe under Wine: the
// common controls (bound to the system's side-by-side copy by the program's manifest) and the help
// program whose cursor the link uses (loaded by its full path; Wine takes a native copy of an
// .exe first without being told). The .local folder gets those and version.dll.
//
// Wine 8 has no KnownDLLs: with native first, it takes every other library Brantel.exe imports
// (kernel32, user32, gdi32, advapi32, shell32, msvcrt) from the program's folder before the
// program's first instruction, and likewise what its own libraries import or load as they start
// (version by user32, imm32 and uxtheme by the common controls) or load on first use (ole32 by
// imm32, msimg32 by uxtheme, both ignoring the narrowed search path). Windows takes KnownDLLs
// and their imports from the system folder; under Wine no program can keep the loader from these,
// so they are not planted here.
void PlantBeside(const Sandbox& box) {
  box.InstallBuilt(L"module_marker.dll", L"comctl32.dll");
  box.InstallBuilt(L"module_marker.dll", L"winhlp32.exe");
  REQUIRE(::CreateDirectoryW(box.File(L"Brantel.exe.local").c_str(), nullptr));
  box.InstallBuilt(L"version_marker.dll", L"Brantel.exe.local\\version.dll");
  box.InstallBuilt(L"module_marker.dll", L"Brantel.exe.local\\comctl32.dll");
  box.InstallBuilt(L"module_marker.dll", L"Brantel.exe.local\\winhlp32.exe");
}

}  // namespace

TEST_SUITE("planted-library") {
  TEST_CASE("under these overrides the loader takes a planted copy for a program that imports it") {
    // The control: a program that imports version.dll binds the planted copy beside it.
    Sandbox beside(L"planted-importer");
    const std::wstring importer = beside.InstallBuilt(L"imports_version.exe", L"importer.exe");
    const std::wstring planted = beside.InstallBuilt(L"version_marker.dll", L"version.dll");
    CHECK(RunAndWait(importer, L"") == 1);  // the planted stub answered
    CHECK(LoadMarks(beside.Path()) == std::vector<std::wstring>{MarkOf(planted)});

    // Wine's own user32 imports version.dll (Windows' user32 does not, and is a KnownDLL whose
    // imports come from the system folder): under Wine any program that uses user32 binds the
    // planted copy before its first instruction runs. That is why version.dll is planted only in
    // the .local folder for Brantel.exe below; its own load of version.dll, by full path, is
    // checked with a reader that does not use user32 (file_version_info_planted).
    Sandbox user32(L"planted-user32");
    const std::wstring gui = user32.InstallBuilt(L"imports_user32.exe", L"gui.exe");
    const std::wstring guiPlanted = user32.InstallBuilt(L"version_marker.dll", L"version.dll");
    CHECK(RunAndWait(gui, L"") == 0);
    CHECK(LoadMarks(user32.Path()) == std::vector<std::wstring>{MarkOf(guiPlanted)});

    // Wine 8 has no .local redirection: the same importer with its copy in importer.exe.local
    // binds the system's library. The .local plant below therefore proves nothing under Wine 8;
    // should this check fail, the platform honours .local and the plant below becomes a real
    // check. (Windows ignores .local for a program with a manifest, as Brantel.exe has.)
    Sandbox local(L"planted-local");
    const std::wstring localImporter = local.InstallBuilt(L"imports_version.exe", L"importer.exe");
    REQUIRE(::CreateDirectoryW(local.File(L"importer.exe.local").c_str(), nullptr));
    local.InstallBuilt(L"version_marker.dll", L"importer.exe.local\\version.dll");
    CHECK(RunAndWait(localImporter, L"") == 0);
    CHECK(LoadMarks(local.Path()).empty());
  }

  TEST_CASE("Brantel.exe loads no planted library on any of its paths") {
    SUBCASE("the browser is present") {
      Kit kit(L"planted-present");
      PlantBeside(kit.box);
      kit.machine.SetBrowserVersion(L"11.0.9600.16384");
      CHECK(RunToEnd(kit.exe, L"").exitCode == 0);
      CHECK(LoadMarks(kit.Folder()).empty());
    }
    SUBCASE("an embedded device runs the installer") {
      Kit kit(L"planted-embedded");
      PlantBeside(kit.box);
      kit.machine.SetEmbedded(L"Haldry", L"1");
      kit.box.InstallRecorder(L"ie_setup_2057.exe", 5);
      LogReader log;
      CHECK(RunToEnd(kit.exe, L"").exitCode == 5);
      CHECK(log.RunMessages().back() == L"Process returned code: 5");
      CHECK(LoadMarks(kit.Folder()).empty());
    }
    SUBCASE("the notice, up to OK") {
      Kit kit(L"planted-notice");
      PlantBeside(kit.box);
      kit.box.InstallRecorder(L"ie_setup_2057.exe", 6);
      LogReader log;
      const Outcome outcome = RunToEnd(kit.exe, L"");
      CHECK(outcome.noticeShown);
      CHECK(outcome.exitCode == 6);
      CHECK(log.RunMessages().back() == L"Process returned code: 6");
      CHECK(LoadMarks(kit.Folder()).empty());
    }
    SUBCASE("the notice, up to the link") {
      Kit kit(L"planted-link");
      PlantBeside(kit.box);
      const std::wstring browser = kit.box.InstallRecorder(L"browser.exe", 0);
      ClassCommand http(L"http\\shell\\open\\command", L"\"" + browser + L"\" \"%1\"");
      LogReader log;
      CrashDialogOff noCrashDialog;
      ScopedHandle process(StartProgram(kit.exe, L""));
      const HWND dialog = WaitForDialog(::GetProcessId(process.get()));
      ClickControl(::GetDlgItem(dialog, IDC_LINK));
      CHECK(WaitForExit(process.get(), 30000) == 0xFFFFFFFF);
      CHECK(log.RunMessages().back() ==
            L"Clicked link. Opened url, closing setup and application...");
      CHECK(RecorderRuns(browser).size() == 1);
      CHECK(LoadMarks(kit.Folder()).empty());
    }
  }
}
