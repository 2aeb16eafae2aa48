#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "process/terminate_caller_setup.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/harness.h"

namespace {

// What a waiting copy returns when it ends by itself; an ended one must show 0 instead.
constexpr DWORD kOwnExitCode = 77;
constexpr wchar_t kWaitMs[] = L"120000";
constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kEndTimeoutMs = 10000;
constexpr DWORD kPollMs = 20;
constexpr DWORD kTestEndExitCode = 1;

// Ends a process that still runs when the test lets go of it, however the test went.
struct EndOnRelease {
  ScopedHandle process;
  ~EndOnRelease() {
    if (process && ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process.get(), kTestEndExitCode);
      ::WaitForSingleObject(process.get(), kEndTimeoutMs);
    }
  }
};

// A copy of a recorder build that waits two minutes, started from the test's own sandbox under
// the given name. Construction returns once the copy runs its own code, so that the platform
// lists it with its name and modules.
class WaitingProgram {
 public:
  WaitingProgram(const std::wstring& sandboxName, const std::wstring& name,
                 const std::wstring& builtRecorder = L"recorder.exe")
      : box_(sandboxName) {
    path_ = box_.InstallRecorder(name, kOwnExitCode, builtRecorder);
    REQUIRE(WriteUtf8File(path_ + L".sleep", kWaitMs));
    owner_.process.reset(StartProgram(path_, L"", &id_));
    for (DWORD waited = 0; RecorderRuns(path_).empty(); waited += kPollMs) {
      REQUIRE_MESSAGE(waited < kStartTimeoutMs, "did not start: ", ToUtf8(path_));
      ::Sleep(kPollMs);
    }
  }

  DWORD Id() const { return id_; }
  const std::wstring& Path() const { return path_; }
  bool Running() const { return ::WaitForSingleObject(owner_.process.get(), 0) == WAIT_TIMEOUT; }
  // Fails the test unless the program ends within a few seconds.
  DWORD ExitCode() const { return WaitForExit(owner_.process.get(), kEndTimeoutMs); }

 private:
  Sandbox box_;
  std::wstring path_;
  DWORD id_ = 0;
  EndOnRelease owner_;
};

// The processes the platform lists, in its order.
std::vector<PROCESSENTRY32W> ProcessList() {
  std::vector<PROCESSENTRY32W> list;
  ScopedFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  REQUIRE(snapshot);
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    list.push_back(entry);
  }
  return list;
}

// The ids of the running processes whose executable is named setup.exe in any case, in list order.
std::vector<DWORD> SetupProcessIds() {
  std::vector<DWORD> ids;
  for (const PROCESSENTRY32W& entry : ProcessList()) {
    if (_wcsicmp(entry.szExeFile, L"setup.exe") == 0) ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

std::wstring ListedName(DWORD processId) {
  for (const PROCESSENTRY32W& entry : ProcessList()) {
    if (entry.th32ProcessID == processId) return entry.szExeFile;
  }
  return std::wstring();
}

}  // namespace

TEST_CASE("of two running setup.exe only the first listed ends, with exit code 0") {
  REQUIRE(SetupProcessIds().empty());
  WaitingProgram one(L"caller-one", L"setup.exe");
  WaitingProgram two(L"caller-two", L"setup.exe");
  const std::vector<DWORD> listed = SetupProcessIds();
  REQUIRE(listed.size() == 2);
  const WaitingProgram& first = listed[0] == one.Id() ? one : two;
  const WaitingProgram& second = listed[0] == one.Id() ? two : one;
  REQUIRE(listed[1] == second.Id());

  CHECK(TerminateCallerSetup(L""));
  CHECK(first.ExitCode() == 0);
  CHECK(second.Running());

  // The next call finds the other one; then none is left and nothing happens.
  CHECK(TerminateCallerSetup(L""));
  CHECK(second.ExitCode() == 0);
  CHECK(TerminateCallerSetup(L""));
}

TEST_CASE("only the whole executable name setup.exe qualifies, in any case") {
  REQUIRE(SetupProcessIds().empty());
  WaitingProgram mysetup(L"caller-mysetup", L"mysetup.exe");
  WaitingProgram longer(L"caller-longer", L"setup.exe.exe");
  CHECK(TerminateCallerSetup(L""));  // no setup.exe runs: nothing to end, and no failure
  CHECK(mysetup.Running());
  CHECK(longer.Running());

  WaitingProgram capitals(L"caller-capitals", L"SETUP.EXE");
  // The platform gives the name as the file is named, so the match must ignore case.
  REQUIRE(ListedName(capitals.Id()) == L"SETUP.EXE");
  CHECK(TerminateCallerSetup(L""));
  CHECK(capitals.ExitCode() == 0);
  CHECK(mysetup.Running());
  CHECK(longer.Running());
}

TEST_CASE("with an internal name, the walk passes over every setup.exe that does not have it") {
  REQUIRE(SetupProcessIds().empty());
  WaitingProgram plain(L"caller-plain", L"setup.exe");  // no version data
  WaitingProgram other(L"caller-other", L"setup.exe", L"version_en_us.exe");
  WaitingProgram foo(L"caller-foo", L"setup.exe", L"version_full.exe");  // says "FOO"
  // Listed in start order, so the two that do not qualify come first.
  REQUIRE(SetupProcessIds() == std::vector<DWORD>{plain.Id(), other.Id(), foo.Id()});

  CHECK(TerminateCallerSetup(L"Bar"));  // none has it: nothing ends
  CHECK(TerminateCallerSetup(L"Foo"));
  CHECK(foo.ExitCode() == 0);
  CHECK(plain.Running());
  CHECK(other.Running());
}

TEST_CASE("when several modules contain the name, the last one listed wins") {
  // This test program's own path does not contain the name; two libraries in the folder do.
  Sandbox box(L"in setup.exe");
  const std::wstring first = box.InstallBuilt(L"module_marker.dll", L"First.dll");
  const std::wstring second = box.InstallBuilt(L"module_marker.dll", L"Second.dll");
  const DWORD self = ::GetCurrentProcessId();
  REQUIRE(GetProcessModulePath(L"setup.exe", self).empty());

  ScopedModule firstModule(::LoadLibraryW(first.c_str()));
  REQUIRE(firstModule);
  CHECK(GetProcessModulePath(L"SETUP.EXE", self) == first);
  ScopedModule secondModule(::LoadLibraryW(second.c_str()));
  REQUIRE(secondModule);
  CHECK(GetProcessModulePath(L"SETUP.EXE", self) == second);
}

TEST_CASE("every snapshot and process handle is closed") {
  REQUIRE(SetupProcessIds().empty());
  WaitingProgram plain(L"handles-plain", L"setup.exe");
  WaitingProgram other(L"handles-other", L"setup.exe", L"version_en_us.exe");
  // The first calls may allocate once-only resources.
  CHECK(TerminateCallerSetup(L"Foo"));
  const DWORD before = CountOpenHandles();
  for (int i = 0; i < 20; ++i) CHECK(TerminateCallerSetup(L"Foo"));
  CHECK(CountOpenHandles() == before);

  // The path that opens and ends a process; the test's own handles are closed by their owners.
  for (int i = 0; i < 3; ++i) {
    WaitingProgram foo(L"handles-foo", L"setup.exe", L"version_full.exe");
    CHECK(TerminateCallerSetup(L"foo"));
    CHECK(foo.ExitCode() == 0);
  }
  CHECK(CountOpenHandles() == before);
  CHECK(plain.Running());
  CHECK(other.Running());
}
