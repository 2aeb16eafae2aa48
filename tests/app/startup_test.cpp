// Brantel.exe run as an installer runs it, on machines the tests set up: exit code, the installer
// it ran and the log lines of its run.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/dialog_driver.h"
#include "tests/harness/harness.h"

namespace {

using Lines = std::vector<std::wstring>;

const std::wstring kDefaultParameters = L"/passive /update-no /norestart";

struct Run {
  DWORD exitCode;
  Lines messages;
  bool noticeShown;
};

// Runs Brantel.exe to its end; when it shows the notice, presses OK as a user would.
Run RunBrantel(const std::wstring& exe, const std::wstring& args) {
  LogReader log;
  ScopedHandle process(StartProgram(exe, args));
  const HWND notice = WaitForDialogOrExit(process.get());
  if (notice != nullptr) ::SendMessageW(::GetDlgItem(notice, IDOK), BM_CLICK, 0, 0);
  const DWORD exitCode = WaitForExit(process.get());
  return Run{exitCode, log.RunMessages(), notice != nullptr};
}

// What a run logs after "Running Dialog" when OK is pressed and the stand-in installer in the
// program's folder exits with 0.
Lines OkLines(const std::wstring& exe) {
  const std::wstring folder = exe.substr(0, exe.rfind(L'\\'));
  return {L"Running Dialog", L"Clicked \"Ok\", running Iesetup(2057)",
          L"Running process: " + folder + L"\\ie_setup_2057.exe, Wdir: " + folder + L", Args: " +
              kDefaultParameters,
          L"Process returned code: 0"};
}

std::wstring OsLanguageLine() { return L"OS language. " + std::to_wstring(SystemUiLanguage()); }

// The file names, in lower case, of the modules a running process has loaded.
std::vector<std::wstring> LoadedModules(DWORD processId) {
  ScopedFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
  REQUIRE(snapshot);
  std::vector<std::wstring> names;
  MODULEENTRY32W module = {};
  module.dwSize = sizeof(module);
  for (BOOL more = ::Module32FirstW(snapshot.get(), &module); more;
       more = ::Module32NextW(snapshot.get(), &module)) {
    ::CharLowerW(module.szModule);
    names.push_back(module.szModule);
  }
  return names;
}

bool Contains(const std::vector<std::wstring>& names, const std::wstring& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

Lines Concat(Lines head, const Lines& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

Lines Preamble(const std::wstring& exe, const std::wstring& args, const Lines& languageLines,
               const std::wstring& parameters = kDefaultParameters) {
  Lines lines{L"Args: " + exe + L" " + (args.empty() ? L"" : args + L" ")};
  lines.insert(lines.end(), languageLines.begin(), languageLines.end());
  lines.push_back(L"IEParameters: " + parameters);
  return lines;
}

Lines InstallerLines(const Sandbox& box, const wchar_t* installer, int exitCode,
                     const std::wstring& parameters = kDefaultParameters) {
  return {L"Running process: " + box.File(installer) + L", Wdir: " + box.Path() + L", Args: " +
              parameters,
          L"Process returned code: " + std::to_wstring(exitCode)};
}

}  // namespace

TEST_SUITE("english-system") {
  TEST_CASE("the system reports the Windows version this run was set up for") {
    const char* expected = std::getenv("BRANTEL_WINDOWS");
    REQUIRE(expected != nullptr);
    // RtlGetVersion reports the version without the compatibility shims of GetVersionEx.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    REQUIRE(reinterpret_cast<void*>(rtlGetVersion) != nullptr);
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    REQUIRE(rtlGetVersion(&version) == 0);
    CHECK(std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) ==
          expected);
  }

  TEST_CASE("a machine that needs the browser gets the notice") {
    REQUIRE(SystemUiLanguage() == 1033);
    Machine machine;
    Sandbox box(L"startup");
    const std::wstring exe = box.InstallBrantel();
    const std::wstring english = box.InstallRecorder(L"ie_setup_2057.exe");
    const std::wstring italian = box.InstallRecorder(L"ie_setup_1040.exe");

    LogReader log;
    const Run first = RunBrantel(exe, L"");
    CHECK(first.noticeShown);
    CHECK(first.exitCode == 0);
    CHECK(first.messages ==
          Concat({L"Args: " + exe + L" ", L"lang: 2057", L"IEParameters: " + kDefaultParameters,
                  L"IE8 Not installed", L"Not Embedded", L"OS language. 1033"},
                 OkLines(exe)));
    CHECK(RecorderRuns(english).size() == 1);  // after OK in the notice
    CHECK(RecorderRuns(italian).empty());

    // A second run appends a header of its own; nothing of the first is lost.
    RunBrantel(exe, L"");
    const Lines both = log.NewLines();
    REQUIRE(both.size() == 2 * (5 + 6 + 4));
    CheckHeader(both, 0);
    CheckHeader(both, 15);
  }

  TEST_CASE("a browser at version 8 or later ends the run at once with 0") {
    for (const wchar_t* version : {L"8.0.6001.18702", L"11.0.9600.16384", L"9.11.9600.17843"}) {
      CAPTURE(std::wstring(version));
      Machine machine;
      machine.SetBrowserVersion(version);
      machine.SetEmbedded(L"Haldry", L"1");  // never consulted
      Sandbox box(L"startup-present");
      const std::wstring exe = box.InstallBrantel();
      const std::wstring english = box.InstallRecorder(L"ie_setup_2057.exe", 5);
      const Run run = RunBrantel(exe, L"/l 1036");
      CHECK(run.exitCode == 0);
      CHECK(run.messages ==
            Concat(Preamble(exe, L"/l 1036", {L"Found lang(/l): 1036", L"lang: 1036"}),
                   {L"IE8 Already installed"}));
      CHECK(RecorderRuns(english).empty());
    }
  }

  TEST_CASE("versions below 8 or unreadable ones count as not installed") {
    Sandbox box(L"startup-absent");
    const std::wstring exe = box.InstallBrantel();
    box.InstallRecorder(L"ie_setup_2057.exe");
    auto expectNotInstalled = [&] {
      const Run run = RunBrantel(exe, L"");
      CHECK(run.noticeShown);
      CHECK(run.exitCode == 0);
      REQUIRE(run.messages.size() == 10);
      CHECK(run.messages[3] == L"IE8 Not installed");
      CHECK(run.messages[6] == L"Running Dialog");
    };
    for (const wchar_t* version : {L"7.0", L"8", L"", L"-1"}) {
      CAPTURE(std::wstring(version));
      Machine machine;
      machine.SetBrowserVersion(version);
      expectNotInstalled();
    }
    Machine machine;
    machine.SetDword(Machine::kBrowserKey, L"Version", 8);
    expectNotInstalled();
    machine.DeleteValue(Machine::kBrowserKey, L"Version");
    expectNotInstalled();
  }

  TEST_CASE("\" 8.0\" and a key the caller may not write still count as installed") {
    Machine machine;
    Sandbox box(L"startup-readonly-key");
    const std::wstring exe = box.InstallBrantel();
    machine.SetBrowserVersion(L" 8.0");
    CHECK(RunBrantel(exe, L"").messages.back() == L"IE8 Already installed");

    machine.SetBrowserVersion(L"11.0.9600.16384");
    KeySecurity denyWrite(Machine::kBrowserKey, L"D:(D;;0x6;;;WD)(A;;KA;;;WD)");
    const Run run = RunBrantel(exe, L"");
    CHECK(run.exitCode == 0);
    CHECK(run.messages.back() == L"IE8 Already installed");
  }

  TEST_CASE("an embedded device runs the English installer and exits with its code") {
    Machine machine;
    Sandbox box(L"startup-embedded");
    const std::wstring exe = box.InstallBrantel();
    const std::wstring english = box.InstallRecorder(L"ie_setup_2057.exe", 3010);
    const std::wstring italian = box.InstallRecorder(L"ie_setup_1040.exe");
    machine.SetEmbedded(L"Tirnavel", L"1");
    const Run run = RunBrantel(exe, L"/l 1040");
    CHECK(run.exitCode == 3010);
    CHECK(run.messages ==
          Concat(Preamble(exe, L"/l 1040", {L"Found lang(/l): 1040", L"lang: 1040"}),
                 Concat({L"IE8 Not installed", L"Embedded system"},
                        InstallerLines(box, L"ie_setup_2057.exe", 3010))));
    const std::vector<RecorderRun> runs = RecorderRuns(english);
    REQUIRE(runs.size() == 1);
    CHECK(runs[0].module == english);
    CHECK(runs[0].workDir == box.Path());
    CHECK(EndsWith(runs[0].commandLine, L" " + kDefaultParameters));
    CHECK(RecorderRuns(italian).empty());
  }

  TEST_CASE("only the notice loads the common controls") {
    Machine machine;
    Sandbox box(L"startup-common-controls");
    const std::wstring exe = box.InstallBrantel();
    const std::wstring installer = box.InstallRecorder(L"ie_setup_2057.exe");
    DWORD processId = 0;
    SUBCASE("not while the installer runs on an embedded device") {
      // While the installer runs, Brantel.exe waits for it with everything it has loaded.
      machine.SetEmbedded(L"Haldry", L"1");
      box.WriteBytes(L"ie_setup_2057.exe.sleep", "3000");
      ScopedHandle process(StartProgram(exe, L"", &processId));
      for (int waited = 0; RecorderRuns(installer).empty() && waited < 30000; waited += 20) {
        ::Sleep(20);
      }
      REQUIRE(RecorderRuns(installer).size() == 1);
      const std::vector<std::wstring> modules = LoadedModules(processId);
      CHECK(WaitForExit(process.get()) == 0);
      CHECK(Contains(modules, L"advapi32.dll"));  // the list is that of a running program
      CHECK_FALSE(Contains(modules, L"comctl32.dll"));
    }
    SUBCASE("while the notice is shown") {
      ScopedHandle process(StartProgram(exe, L"", &processId));
      const HWND notice = WaitForDialog(processId);
      CHECK(Contains(LoadedModules(processId), L"comctl32.dll"));
      ::SendMessageW(::GetDlgItem(notice, IDOK), BM_CLICK, 0, 0);
      CHECK(WaitForExit(process.get()) == 0);
    }
  }

  TEST_CASE("values that do not make a device embedded") {
    Sandbox box(L"startup-not-embedded");
    const std::wstring exe = box.InstallBrantel();
    box.InstallRecorder(L"ie_setup_2057.exe");
    Machine machine;
    machine.SetEmbedded(L"Haldry", L"-1");
    machine.SetEmbedded(L"Tirnavel", std::wstring(200, L'1'));
    machine.SetDword(Machine::ProductKey(L"Osmundra"), L"Xp_Embedded", 1);
    const Run run = RunBrantel(exe, L"");
    CHECK(run.noticeShown);
    REQUIRE(run.messages.size() == 10);
    CHECK(run.messages[4] == L"Not Embedded");
  }

  TEST_CASE("the installer's whole exit code, or the error of a failed start, is the result") {
    Machine machine;
    machine.SetEmbedded(L"Haldry", L"0");
    Sandbox box(L"startup-exit-codes");
    const std::wstring exe = box.InstallBrantel();
    SUBCASE("installer missing") {
      const Run run = RunBrantel(exe, L"");
      CHECK(run.exitCode == ERROR_FILE_NOT_FOUND);
      CHECK(run.messages.back() == L"Can't run process, error: 2");
    }
    SUBCASE("all bits set") {
      box.InstallRecorder(L"ie_setup_2057.exe", 0xFFFFFFFF);
      const Run run = RunBrantel(exe, L"");
      CHECK(run.exitCode == 0xFFFFFFFF);
      CHECK(run.messages.back() == L"Process returned code: -1");
    }
  }

  TEST_CASE("the settings file beside the program gives the installer parameters") {
    Machine machine;
    machine.SetEmbedded(L"Osmundra", L"x");
    SUBCASE("key present and empty: the path and one blank") {
      Sandbox box(L"startup-ini-empty");
      const std::wstring exe = box.InstallBrantel();
      const std::wstring english = box.InstallRecorder(L"ie_setup_2057.exe");
      box.WriteBytes(L"BRANTEL.INI", "[IE]\r\nparams=\r\n");
      const Run run = RunBrantel(exe, L"");
      CHECK(run.messages[2] == L"IEParameters: ");
      const std::vector<RecorderRun> runs = RecorderRuns(english);
      REQUIRE(runs.size() == 1);
      CHECK(runs[0].commandLine.back() == L' ');
      CHECK(run.messages.back() == L"Process returned code: 0");
    }
    SUBCASE("section without the key, and a file in another section, give the default") {
      Sandbox box(L"startup-ini-other");
      const std::wstring exe = box.InstallBrantel();
      box.InstallRecorder(L"ie_setup_2057.exe");
      box.WriteBytes(L"BRANTEL.INI",
                     "[IE]\r\nlink=http://example.invalid/\r\n[X]\r\nparams=no\r\n");
      CHECK(RunBrantel(exe, L"").messages[2] == L"IEParameters: " + kDefaultParameters);
    }
    SUBCASE("a long value is read up to 4,095 characters") {
      Sandbox box(L"startup-ini-long");
      const std::wstring exe = box.InstallBrantel();
      const std::wstring english = box.InstallRecorder(L"ie_setup_2057.exe");
      box.WriteBytes(L"BRANTEL.INI", "[IE]\r\nparams=/q " + std::string(5000, 'p') + "\r\n");
      const Run run = RunBrantel(exe, L"");
      const std::wstring expected = L"/q " + std::wstring(4092, L'p');
      CHECK(run.messages[2] == L"IEParameters: " + expected);
      const std::vector<RecorderRun> runs = RecorderRuns(english);
      REQUIRE(runs.size() == 1);
      CHECK(EndsWith(runs[0].commandLine, L" " + expected));
    }
    SUBCASE("a folder with blanks and \".exe\" in its name") {
      Sandbox box(L"My Setup.exe files");
      const std::wstring exe = box.InstallBrantel(L"brantel.exe");
      const std::wstring english = box.InstallRecorder(L"ie_setup_2057.exe", 4);
      // The settings path is the program path in capitals with every ".EXE" made ".INI".
      std::wstring folder = box.Path();
      ::CharUpperBuffW(&folder[0], static_cast<DWORD>(folder.size()));
      const std::wstring iniFolder = folder.replace(folder.find(L".EXE"), 4, L".INI");
      REQUIRE(::CreateDirectoryW(iniFolder.c_str(), nullptr));
      REQUIRE(WriteFileBytes(iniFolder + L"\\BRANTEL.INI", "[IE]\r\nparams=/from-ini\r\n"));
      const Run run = RunBrantel(exe, L"");
      CHECK(run.exitCode == 4);
      CHECK(run.messages ==
            Concat(Preamble(exe, L"", {L"lang: 2057"}, L"/from-ini"),
                   Concat({L"IE8 Not installed", L"Embedded system"},
                          InstallerLines(box, L"ie_setup_2057.exe", 4, L"/from-ini"))));
      const std::vector<RecorderRun> runs = RecorderRuns(english);
      REQUIRE(runs.size() == 1);
      CHECK(runs[0].module == english);
      CHECK(runs[0].workDir == box.Path());
    }
  }

  TEST_CASE("the language option") {
    Machine machine;
    Sandbox box(L"startup-lang");
    const std::wstring exe = box.InstallBrantel();
    box.InstallRecorder(L"ie_setup_2057.exe");
    struct Case {
      const wchar_t* args;
      Lines languageLines;
    };
    const Case cases[] = {
        {L"/l 1040", {L"Found lang(/l): 1040", L"lang: 1040"}},
        {L"/l 1031 /x /l 1036", {L"Found lang(/l): 1031", L"Found lang(/l): 1036", L"lang: 1036"}},
        {L"/L 1036", {L"lang: 2057"}},
        {L"/l 1049 /l", {L"Found lang(/l): 1049", L"lang: 1049"}},
        {L"/l", {L"lang: 2057"}},
        {L"/l deutsch", {L"Found lang(/l): deutsch", L"lang: deutsch"}},
        {L"/l /l", {L"Found lang(/l): /l", L"lang: /l"}},
        {L"/l 100%s%d", {L"Found lang(/l): 100%s%d", L"lang: 100%s%d"}},
    };
    for (const Case& c : cases) {
      CAPTURE(std::wstring(c.args));
      const Run run = RunBrantel(exe, c.args);
      CHECK(run.exitCode == 0);
      CHECK(run.messages == Concat(Preamble(exe, c.args, c.languageLines),
                                   Concat({L"IE8 Not installed", L"Not Embedded", OsLanguageLine()},
                                          OkLines(exe))));
    }
  }

  TEST_CASE("arguments outside ASCII reach the log intact") {
    Machine machine;
    Sandbox box(L"startup-\u00e4\u4e2d");
    const std::wstring exe = box.InstallBrantel();
    box.InstallRecorder(L"ie_setup_2057.exe");
    const Run run = RunBrantel(exe, L"/l \u0420\u0443\u0441 caf\u00e9");
    REQUIRE(run.messages.size() == 11);
    CHECK(run.messages[0] == L"Args: " + exe + L" /l \u0420\u0443\u0441 caf\u00e9 ");
    CHECK(run.messages[1] == L"Found lang(/l): \u0420\u0443\u0441");
    // The program's folder, outside ASCII too, in the installer's log line.
    CHECK(Lines(run.messages.end() - 4, run.messages.end()) == OkLines(exe));
  }

  TEST_CASE("an unwritable log changes neither the run nor its exit code") {
    Machine machine;
    machine.SetEmbedded(L"Haldry", L"1");
    Sandbox box(L"startup-log-locked");
    const std::wstring exe = box.InstallBrantel();
    const std::wstring english = box.InstallRecorder(L"ie_setup_2057.exe", 42);
    const std::wstring logPath = SharedLogPath();
    std::string before;
    REQUIRE(ReadFileBytes(logPath, before));
    {
      ScopedFileHandle holder(::CreateFileW(logPath.c_str(), GENERIC_READ, 0, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      REQUIRE(holder);
      CHECK(RunAndWait(exe, L"") == 42);
    }
    CHECK(RecorderRuns(english).size() == 1);
    std::string after;
    REQUIRE(ReadFileBytes(logPath, after));
    CHECK(after == before);
  }

  TEST_CASE("runs at the same time lose no line") {
    Machine machine;
    machine.SetEmbedded(L"Haldry", L"1");
    Sandbox box(L"startup-concurrent");
    const std::wstring exe = box.InstallBrantel();
    const std::wstring english = box.InstallRecorder(L"ie_setup_2057.exe", 9);
    REQUIRE(WriteUtf8File(english + L".sleep", L"200"));
    constexpr int kRuns = 4;
    LogReader log;
    std::vector<ScopedHandle> runs;
    for (int i = 0; i < kRuns; ++i)
      runs.emplace_back(StartProgram(exe, L"/l " + std::to_wstring(i)));
    for (ScopedHandle& run : runs) CHECK(WaitForExit(run.get()) == 9);

    const Lines lines = log.NewLines();
    CHECK(lines.size() == kRuns * (5 + 8));
    for (int i = 0; i < kRuns; ++i) {
      const std::wstring found = L"Found lang(/l): " + std::to_wstring(i);
      int count = 0;
      for (const std::wstring& line : lines) {
        std::wstring text;
        if (ParseStampedLine(line, text) && text == found) ++count;
      }
      CHECK(count == 1);
    }
  }
}

TEST_SUITE("italian-system") {
  TEST_CASE("an Italian system runs the Italian installer, whatever the language option") {
    const LANGID system = SystemUiLanguage();
    REQUIRE((system == 1040 || system == 2064));
    Machine machine;
    Sandbox box(L"startup-italian");
    const std::wstring exe = box.InstallBrantel();
    const std::wstring english = box.InstallRecorder(L"ie_setup_2057.exe");
    const std::wstring italian = box.InstallRecorder(L"ie_setup_1040.exe", 1603);
    const Run run = RunBrantel(exe, L"/l 1036");
    CHECK(run.exitCode == 1603);
    CHECK(run.messages ==
          Concat(Preamble(exe, L"/l 1036", {L"Found lang(/l): 1036", L"lang: 1036"}),
                 Concat({L"IE8 Not installed", L"Not Embedded", OsLanguageLine(),
                         L"1040 Os running Ie Setup"},
                        InstallerLines(box, L"ie_setup_1040.exe", 1603))));
    const std::vector<RecorderRun> runs = RecorderRuns(italian);
    REQUIRE(runs.size() == 1);
    CHECK(runs[0].workDir == box.Path());
    CHECK(RecorderRuns(english).empty());
  }

  TEST_CASE("an embedded Italian system gets the English installer") {
    Machine machine;
    machine.SetEmbedded(L"Haldry", L"1");
    Sandbox box(L"startup-italian-embedded");
    const std::wstring exe = box.InstallBrantel();
    const std::wstring english = box.InstallRecorder(L"ie_setup_2057.exe", 11);
    const std::wstring italian = box.InstallRecorder(L"ie_setup_1040.exe", 12);
    const Run run = RunBrantel(exe, L"");
    CHECK(run.exitCode == 11);
    CHECK(RecorderRuns(english).size() == 1);
    CHECK(RecorderRuns(italian).empty());
  }

  TEST_CASE("a browser at version 8 is enough on an Italian system too") {
    Machine machine;
    machine.SetBrowserVersion(L"8.0.6001.18702");
    Sandbox box(L"startup-italian-present");
    const std::wstring exe = box.InstallBrantel();
    const std::wstring italian = box.InstallRecorder(L"ie_setup_1040.exe", 12);
    CHECK(RunBrantel(exe, L"").exitCode == 0);
    CHECK(RecorderRuns(italian).empty());
  }
}
