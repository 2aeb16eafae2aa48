#include <windows.h>

#include <string>
#include <vector>

#include "log/log_to_file.h"
#include "process/run_process.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/harness.h"

// The launcher logs through the program's one log; here it is a file of the test's own.
CLogToFile theLog(Sandbox(L"run-process-log").File(L"Vorn.log"));

namespace {

std::vector<std::wstring> Messages(const LogReader& reader) {
  std::vector<std::wstring> texts;
  for (const std::wstring& line : reader.NewLines()) {
    std::wstring text;
    REQUIRE(ParseStampedLine(line, text));
    texts.push_back(text);
  }
  return texts;
}

}  // namespace

TEST_CASE("the command line quotes the program path") {
  CHECK(BuildCommandLine(L"C:\\kit dir\\ie_setup_2057.exe", L"/passive /norestart") ==
        L"\"C:\\kit dir\\ie_setup_2057.exe\" /passive /norestart");
  CHECK(BuildCommandLine(L"C:\\kit\\ie_setup_1040.exe", L"") == L"\"C:\\kit\\ie_setup_1040.exe\" ");
}

TEST_CASE("a started program is waited for and its whole exit code returned") {
  for (const DWORD code : {DWORD{0}, DWORD{3010}, DWORD{0xFFFFFFFF}, DWORD{0x80000000}}) {
    CAPTURE(code);
    Sandbox box(L"run process");
    const std::wstring recorder = box.InstallRecorder(L"ie_setup_2057.exe", code);
    REQUIRE(WriteUtf8File(recorder + L".sleep", L"300"));
    LogReader log(theLog.FileName());
    ScopedHandle process;
    const int result = RunProcess(recorder, L"/passive /norestart", box.Path(), true, process);
    CHECK(result == static_cast<int>(code));
    // The caller owns the handle of the ended process.
    REQUIRE(process);
    CHECK(::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0);

    const std::vector<RecorderRun> runs = RecorderRuns(recorder);
    REQUIRE(runs.size() == 1);
    CHECK(runs[0].workDir == box.Path());
    CHECK(runs[0].module == recorder);
    CHECK(EndsWith(runs[0].commandLine, L" /passive /norestart"));
    CHECK(Messages(log) ==
          std::vector<std::wstring>{
              L"Running process: " + recorder + L", Wdir: " + box.Path() +
                  L", Args: /passive /norestart",
              L"Process returned code: " + std::to_wstring(static_cast<int>(code))});
  }
}

TEST_CASE("empty arguments and an empty working directory") {
  Sandbox box(L"run-process-empty");
  const std::wstring recorder = box.InstallRecorder(L"setup one.exe");
  ScopedHandle process;
  REQUIRE(::SetCurrentDirectoryW(L"C:\\windows"));
  CHECK(RunProcess(recorder, L"", L"", true, process) == 0);
  const std::vector<RecorderRun> runs = RecorderRuns(recorder);
  REQUIRE(runs.size() == 1);
  CHECK(_wcsicmp(runs[0].workDir.c_str(), L"C:\\windows") == 0);
  CHECK(runs[0].module == recorder);
}

TEST_CASE("a program that cannot start returns the system's error code") {
  Sandbox box(L"run-process-fail");
  ScopedHandle process;
  LogReader log(theLog.FileName());
  SUBCASE("missing file") {
    const std::wstring missing = box.File(L"ie_setup_2057.exe");
    CHECK(RunProcess(missing, L"/passive", box.Path(), true, process) == ERROR_FILE_NOT_FOUND);
    CHECK(Messages(log) == std::vector<std::wstring>{L"Running process: " + missing + L", Wdir: " +
                                                         box.Path() + L", Args: /passive",
                                                     L"Can't run process, error: 2"});
  }
  SUBCASE("not a program") {
    box.WriteBytes(L"ie_setup_2057.exe", "this is text, not a program");
    CHECK(RunProcess(box.File(L"ie_setup_2057.exe"), L"", box.Path(), true, process) ==
          ERROR_BAD_EXE_FORMAT);
  }
  SUBCASE("missing working directory") {
    const std::wstring recorder = box.InstallRecorder(L"ie_setup_2057.exe");
    CHECK(RunProcess(recorder, L"", box.File(L"gone"), true, process) == ERROR_DIRECTORY);
    CHECK(RecorderRuns(recorder).empty());
  }
  CHECK_FALSE(process);
}

TEST_CASE("a planted program at the truncated path never runs in place of the installer") {
  Sandbox box(L"kit");
  const std::wstring planted = box.InstallRecorder(L"kit.exe", 66);
  Sandbox folder(L"kit dir");  // C:\brantel-tests\kit dir-N beside C:\brantel-tests\kit-N
  const std::wstring truncated = folder.Path().substr(0, folder.Path().find(L" dir"));
  REQUIRE(::MoveFileExW(planted.c_str(), (truncated + L".exe").c_str(), MOVEFILE_REPLACE_EXISTING));
  const std::wstring installer = folder.InstallRecorder(L"ie_setup_2057.exe", 7);
  ScopedHandle process;
  CHECK(RunProcess(installer, L"/passive", folder.Path(), true, process) == 7);
  CHECK(RecorderRuns(truncated + L".exe").empty());
  CHECK(RecorderRuns(installer).size() == 1);
}

TEST_CASE("repeated runs leave no handle behind") {
  Sandbox box(L"run-process-handles");
  const std::wstring recorder = box.InstallRecorder(L"ie_setup_2057.exe", 1);
  constexpr int kRuns = 30;
  auto run = [&](bool wait) {
    ScopedHandle process;
    CHECK(RunProcess(recorder, L"", box.Path(), wait, process) == (wait ? 1 : STILL_ACTIVE));
    ::WaitForSingleObject(process.get(), INFINITE);
  };
  run(true);  // the first run may allocate once-only resources

  DWORD before = CountOpenHandles();
  REQUIRE(before > 0);
  for (int i = 0; i < kRuns; ++i) run(false);
  CHECK(CountOpenHandles() == before);

  // Wine's WaitForInputIdle keeps one handle per call of its own (seen under Wine 8); the
  // launcher may add nothing to that.
  before = CountOpenHandles();
  for (int i = 0; i < kRuns; ++i) {
    ScopedHandle waiting(StartProgram(recorder, L""));
    ::WaitForInputIdle(waiting.get(), INFINITE);
    WaitForExit(waiting.get());
  }
  const DWORD platformKeeps = CountOpenHandles() - before;
  before = CountOpenHandles();
  for (int i = 0; i < kRuns; ++i) run(true);
  CHECK(CountOpenHandles() - before == platformKeeps);
}
