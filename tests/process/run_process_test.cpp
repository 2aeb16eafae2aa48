#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "log/log_to_file.h"
#include "process/run_process.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/harness.h"

// The launcher logs through the program's one log; here it is a file of the test's own.
CLogToFile theLog(ToCString(Sandbox(L"run-process-log").File(L"Vorn.log")));

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

// Replaces this program's import of one kernel32 function for the life of the object. The launcher
// is linked into this program, so its calls go through this program's import table.
class ImportPatch {
 public:
  ImportPatch(const char* name, void* replacement) {
    BYTE* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         library->Name != 0 && slot_ == nullptr; ++library) {
      if (_stricmp(reinterpret_cast<const char*>(base + library->Name), "kernel32.dll") != 0) {
        continue;
      }
      auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
      for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        const auto* byName =
            reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) == 0) {
          slot_ = reinterpret_cast<void**>(&slots->u1.Function);
          break;
        }
      }
    }
    REQUIRE_MESSAGE(slot_ != nullptr, "this program does not import ", name);
    original_ = Swap(replacement);
  }
  ~ImportPatch() { Swap(original_); }
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;
  void* Original() const { return original_; }

 private:
  void* Swap(void* value) {
    DWORD protection = 0;
    ::VirtualProtect(slot_, sizeof(*slot_), PAGE_READWRITE, &protection);
    void* previous = *slot_;
    *slot_ = value;
    ::VirtualProtect(slot_, sizeof(*slot_), protection, &protection);
    return previous;
  }
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

// What the launcher handed the platform, call by call.
struct StartRequest {
  bool hasApplicationName;
  std::wstring applicationName;
  std::wstring commandLine;
};
std::vector<StartRequest> g_startRequests;
decltype(&::CreateProcessW) g_createProcess = nullptr;

BOOL WINAPI RecordingCreateProcess(LPCWSTR applicationName, LPWSTR commandLine,
                                   LPSECURITY_ATTRIBUTES process, LPSECURITY_ATTRIBUTES thread,
                                   BOOL inherit, DWORD flags, LPVOID environment, LPCWSTR directory,
                                   LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info) {
  g_startRequests.push_back({applicationName != nullptr,
                             applicationName != nullptr ? applicationName : L"",
                             commandLine != nullptr ? commandLine : L""});
  return g_createProcess(applicationName, commandLine, process, thread, inherit, flags, environment,
                         directory, startup, info);
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
    LogReader log(ToStd(theLog.FileName()));
    ScopedHandle process;
    const int result = RunProcess(ToCString(recorder), L"/passive /norestart",
                                  ToCString(box.Path()), true, process);
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
  CHECK(RunProcess(ToCString(recorder), L"", L"", true, process) == 0);
  const std::vector<RecorderRun> runs = RecorderRuns(recorder);
  REQUIRE(runs.size() == 1);
  CHECK(_wcsicmp(runs[0].workDir.c_str(), L"C:\\windows") == 0);
  CHECK(runs[0].module == recorder);
}

TEST_CASE("a program that cannot start returns the system's error code") {
  Sandbox box(L"run-process-fail");
  ScopedHandle process;
  LogReader log(ToStd(theLog.FileName()));
  SUBCASE("missing file") {
    const std::wstring missing = box.File(L"ie_setup_2057.exe");
    CHECK(RunProcess(ToCString(missing), L"/passive", ToCString(box.Path()), true, process) ==
          ERROR_FILE_NOT_FOUND);
    CHECK(Messages(log) == std::vector<std::wstring>{L"Running process: " + missing + L", Wdir: " +
                                                         box.Path() + L", Args: /passive",
                                                     L"Can't run process, error: 2"});
  }
  SUBCASE("not a program") {
    box.WriteBytes(L"ie_setup_2057.exe", "this is text, not a program");
    CHECK(RunProcess(ToCString(box.File(L"ie_setup_2057.exe")), L"", ToCString(box.Path()), true,
                     process) == ERROR_BAD_EXE_FORMAT);
  }
  SUBCASE("missing working directory") {
    const std::wstring recorder = box.InstallRecorder(L"ie_setup_2057.exe");
    CHECK(RunProcess(ToCString(recorder), L"", ToCString(box.File(L"gone")), true, process) ==
          ERROR_DIRECTORY);
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
  CHECK(RunProcess(ToCString(installer), L"/passive", ToCString(folder.Path()), true, process) ==
        7);
  CHECK(RecorderRuns(truncated + L".exe").empty());
  CHECK(RecorderRuns(installer).size() == 1);
}

TEST_CASE("the platform gets the full path as program and the quoted path in the command line") {
  // A folder with a blank, beside a program at the path cut at that blank: Wine finds the full
  // path first whatever it is handed, so what the launcher hands it is checked here.
  Sandbox planted(L"kit");
  Sandbox folder(L"kit dir");
  const std::wstring truncated = folder.Path().substr(0, folder.Path().find(L" dir"));
  REQUIRE(::MoveFileExW(planted.InstallRecorder(L"kit.exe", 66).c_str(),
                        (truncated + L".exe").c_str(), MOVEFILE_REPLACE_EXISTING));
  const std::wstring installer = folder.InstallRecorder(L"ie_setup_2057.exe", 7);

  g_startRequests.clear();
  {
    ImportPatch patch("CreateProcessW", reinterpret_cast<void*>(&RecordingCreateProcess));
    g_createProcess = reinterpret_cast<decltype(&::CreateProcessW)>(patch.Original());
    ScopedHandle process;
    CHECK(RunProcess(ToCString(installer), L"/passive /norestart", ToCString(folder.Path()), true,
                     process) == 7);
    ScopedHandle again;
    CHECK(RunProcess(ToCString(installer), L"", ToCString(folder.Path()), true, again) == 7);
  }
  REQUIRE(g_startRequests.size() == 2);
  for (const StartRequest& request : g_startRequests) {
    CHECK(request.hasApplicationName);
    CHECK(request.applicationName == installer);
  }
  CHECK(g_startRequests[0].commandLine == L"\"" + installer + L"\" /passive /norestart");
  CHECK(g_startRequests[1].commandLine == L"\"" + installer + L"\" ");
  CHECK(RecorderRuns(installer).size() == 2);
  CHECK(RecorderRuns(truncated + L".exe").empty());
}

TEST_CASE("1,000 launches leave the handles where they started") {
  Sandbox box(L"run-process-handles");
  const std::wstring recorder = box.InstallRecorder(L"ie_setup_2057.exe", 1);
  constexpr DWORD kLaunches = 1000;
  constexpr DWORD kCalibrationRuns = 20;
  auto launch = [&] {
    ScopedHandle process;
    CHECK(RunProcess(ToCString(recorder), L"", ToCString(box.Path()), true, process) == 1);
  };
  launch();  // the first run may allocate once-only resources

  // Wine's WaitForInputIdle keeps a handle of its own on every call (seen under Wine 8): count
  // what it keeps for a launch that is not the launcher's.
  std::map<std::wstring, DWORD> before = CountOpenHandlesByKind();
  for (DWORD i = 0; i < kCalibrationRuns; ++i) {
    ScopedHandle waiting(StartProgram(recorder, L""));
    ::WaitForInputIdle(waiting.get(), INFINITE);
    WaitForExit(waiting.get());
  }
  std::map<std::wstring, DWORD> platformKeeps;
  std::string kept;
  for (const auto& kind : CountOpenHandlesByKind()) {
    const DWORD grown = kind.second - before[kind.first];
    if (grown == 0) continue;
    REQUIRE_MESSAGE(grown % kCalibrationRuns == 0, "the platform kept ", grown, " handles of kind ",
                    ToUtf8(kind.first), " for ", kCalibrationRuns, " idle waits");
    platformKeeps[kind.first] = grown / kCalibrationRuns;
    kept += " \"" + ToUtf8(kind.first) + "\" " + std::to_string(grown / kCalibrationRuns);
  }
  MESSAGE("handles the platform keeps per idle wait:", kept.empty() ? " none" : kept);
  auto keptPerLaunch = [&](const std::wstring& kind) {
    const auto found = platformKeeps.find(kind);
    return found == platformKeeps.end() ? DWORD{0} : found->second;
  };
  // The processes and threads the launcher opens are never among what the platform keeps.
  CHECK(keptPerLaunch(L"Process") == 0);
  CHECK(keptPerLaunch(L"Thread") == 0);

  before = CountOpenHandlesByKind();
  for (DWORD i = 0; i < kLaunches; ++i) launch();
  std::map<std::wstring, DWORD> after = CountOpenHandlesByKind();
  for (const auto& kind : before) after[kind.first];  // kinds that are gone count as 0
  for (const auto& kind : after) {
    CAPTURE(ToUtf8(kind.first));
    CHECK(kind.second - before[kind.first] == kLaunches * keptPerLaunch(kind.first));
  }
  CHECK(RecorderRuns(recorder).size() == 1 + kCalibrationRuns + kLaunches);
}
