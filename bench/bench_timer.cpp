// Times programs against each other for the benchmark, with QueryPerformanceCounter:
//   bench_timer exit|dialog|ok <batches> <rounds> <program> <arguments> [<program> <arguments>...]
// "exit" times a run from just before CreateProcessW until the process has ended. "dialog" times
// it from just before CreateProcessW until a visible top-level dialog window ("#32770") of the
// process exists, polled about every millisecond; it then posts the dialog the OK button's click
// (WM_COMMAND, IDOK, BN_CLICKED) and waits, untimed, for the process to end. "ok" waits, untimed,
// for that dialog and times from posting the click until a process that the program started
// exists (polled the same way).
// Each program runs with its own folder as working directory and the command line
// "<quoted program path> <arguments>" (an empty argument text adds nothing), and starts 200 ms
// after the previous run has ended. Warm-up runs of each program are not counted; then each batch
// runs its rounds, every program once a round, in an order that turns each round (A B C, B C A,
// ...), so that a drift of the machine weighs on all programs alike. A batch's figure is the
// median of its rounds; a program's figure the median of its batches' figures, as one batch on a
// shared machine moves by about 10 %.
// Prints per program (1, 2, ...) the batches' figures and then the lines "median_<n>_ms=" and
// "exit_<n>=" (the exit code of every run of that program, or "mixed"). Exits with 0 when every
// run was timed, with 1 when a run failed (not started, no dialog, nothing started, or over the
// time limit), 2 on bad usage.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "framework/unique_handle.h"

namespace {

constexpr int kWarmUpRunsEach = 3;
constexpr DWORD kSettleMs = 200;
constexpr DWORD kRunTimeoutMs = 60000;
constexpr DWORD kDialogPollMs = 1;
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kClassNameChars = 16;
constexpr double kMillisecondsPerSecond = 1000.0;

enum class Mode { kExit, kDialog, kOk };

struct Program {
  std::wstring path;
  std::wstring folder;
  std::wstring commandLine;
};

struct RunResult {
  bool timed = false;
  double milliseconds = 0.0;
  DWORD exitCode = 0;
};

Program MakeProgram(const wchar_t* path, const wchar_t* arguments) {
  Program program;
  program.path = path;
  const size_t cut = program.path.find_last_of(L"\\/");
  if (cut != std::wstring::npos) program.folder = program.path.substr(0, cut);
  program.commandLine = L"\"" + program.path + L"\"";
  if (arguments[0] != L'\0') program.commandLine += std::wstring(L" ") + arguments;
  return program;
}

LONGLONG Now() {
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

double Milliseconds(LONGLONG ticks) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(ticks) * kMillisecondsPerSecond /
         static_cast<double>(frequency.QuadPart);
}

struct DialogSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM param) {
  DialogSearch* search = reinterpret_cast<DialogSearch*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !::IsWindowVisible(window)) return TRUE;
  wchar_t className[kClassNameChars] = {};
  ::GetClassNameW(window, className, kClassNameChars);
  if (std::wcscmp(className, kDialogClass) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

// Polls until the process shows a visible dialog; null when it ends first or takes too long.
HWND WaitForDialog(HANDLE process, DWORD processId, LONGLONG start) {
  for (;;) {
    DialogSearch search = {processId, nullptr};
    ::EnumWindows(FindVisibleDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    if (::WaitForSingleObject(process, kDialogPollMs) == WAIT_OBJECT_0) return nullptr;
    if (Milliseconds(Now() - start) > kRunTimeoutMs) return nullptr;
  }
}

// Polls until a process started by the program exists; false when the program ends first or
// takes too long.
bool WaitForChild(HANDLE process, DWORD processId, LONGLONG start) {
  for (;;) {
    ScopedFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
      if (entry.th32ParentProcessID == processId) return true;
    }
    if (::WaitForSingleObject(process, kDialogPollMs) == WAIT_OBJECT_0) return false;
    if (Milliseconds(Now() - start) > kRunTimeoutMs) return false;
  }
}

RunResult RunOnce(Mode mode, Program& program) {
  // A process's handle is signalled before Wine has finished tearing the process down; on a
  // small machine that work would otherwise fall into the next run's time.
  ::Sleep(kSettleMs);
  RunResult result;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  LONGLONG start = Now();
  if (!::CreateProcessW(program.path.c_str(), &program.commandLine[0], nullptr, nullptr, FALSE, 0,
                        nullptr, program.folder.empty() ? nullptr : program.folder.c_str(),
                        &startup, &info)) {
    std::fprintf(stderr, "bench_timer: cannot start %ls, error %lu\n", program.path.c_str(),
                 ::GetLastError());
    return result;
  }
  ScopedHandle(info.hThread).reset();
  ScopedHandle process(info.hProcess);
  LONGLONG end = 0;
  if (mode == Mode::kExit) {
    result.timed = ::WaitForSingleObject(process.get(), kRunTimeoutMs) == WAIT_OBJECT_0;
    end = Now();
  } else {
    const HWND dialog = WaitForDialog(process.get(), info.dwProcessId, start);
    end = Now();
    if (dialog != nullptr) {
      if (mode == Mode::kOk) start = Now();
      ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
      const bool started =
          mode != Mode::kOk || WaitForChild(process.get(), info.dwProcessId, start);
      if (mode == Mode::kOk) end = Now();
      result.timed =
          started && ::WaitForSingleObject(process.get(), kRunTimeoutMs) == WAIT_OBJECT_0;
    }
  }
  if (!result.timed) {
    std::fprintf(stderr, "bench_timer: %ls: %s\n", program.path.c_str(),
                 mode == Mode::kExit ? "did not end in time"
                                     : "no dialog, nothing started, or it did not end");
    ::TerminateProcess(process.get(), 1);
    ::WaitForSingleObject(process.get(), kRunTimeoutMs);
  }
  result.milliseconds = Milliseconds(end - start);
  ::GetExitCodeProcess(process.get(), &result.exitCode);
  return result;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  if (values.size() % 2 != 0) return values[middle];
  return (values[middle - 1] + values[middle]) / 2.0;
}

struct Samples {
  std::vector<double> batch;    // this batch's runs
  std::vector<double> batches;  // each finished batch's median
  std::vector<DWORD> exitCodes;
  bool failed = false;

  void Add(const RunResult& run) {
    if (!run.timed) failed = true;
    batch.push_back(run.milliseconds);
    exitCodes.push_back(run.exitCode);
  }
  void EndBatch() {
    batches.push_back(Median(batch));
    batch.clear();
  }
};

void Report(size_t number, const Samples& samples) {
  std::printf("batches_%zu_ms=", number);
  for (double figure : samples.batches) std::printf(" %.3f", figure);
  std::printf("\nmedian_%zu_ms=%.3f\n", number, Median(samples.batches));
  const bool same = std::all_of(samples.exitCodes.begin(), samples.exitCodes.end(),
                                [&](DWORD code) { return code == samples.exitCodes.front(); });
  if (same) {
    std::printf("exit_%zu=%d\n", number, static_cast<int>(samples.exitCodes.front()));
  } else {
    std::printf("exit_%zu=mixed\n", number);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool usable = argc >= 6 && argc % 2 == 0;
  const int batches = usable ? _wtoi(argv[2]) : 0;
  const int rounds = usable ? _wtoi(argv[3]) : 0;
  const wchar_t* modes[] = {L"exit", L"dialog", L"ok"};
  int mode = 0;
  while (mode < 3 && usable && std::wcscmp(argv[1], modes[mode]) != 0) ++mode;
  if (batches < 1 || rounds < 1 || mode == 3) {
    std::fprintf(stderr,
                 "usage: bench_timer exit|dialog|ok <batches> <rounds> <program> <arguments> "
                 "[<program> <arguments>...]\n");
    return 2;
  }
  // Wine starts its desktop process with the first program that uses windows and ends it about
  // a second after the last such program has ended. Holding the desktop for the whole measurement
  // keeps it up, as it always is on Windows, so no run pays for starting it.
  if (::GetDesktopWindow() == nullptr) {
    std::fprintf(stderr, "bench_timer: no desktop\n");
    return 2;
  }
  std::vector<Program> programs;
  for (int i = 4; i + 1 < argc; i += 2) programs.push_back(MakeProgram(argv[i], argv[i + 1]));
  const size_t count = programs.size();
  std::vector<Samples> samples(count);

  for (int i = 0; i < kWarmUpRunsEach; ++i) {
    for (Program& program : programs) RunOnce(static_cast<Mode>(mode), program);
  }
  for (int batch = 0; batch < batches; ++batch) {
    for (int round = 0; round < rounds; ++round) {
      for (size_t i = 0; i < count; ++i) {
        const size_t which = (static_cast<size_t>(round) + i) % count;
        samples[which].Add(RunOnce(static_cast<Mode>(mode), programs[which]));
      }
    }
    for (Samples& program : samples) program.EndBatch();
  }
  bool failed = false;
  for (size_t i = 0; i < count; ++i) {
    Report(i + 1, samples[i]);
    failed = failed || samples[i].failed;
  }
  return failed ? 1 : 0;
}
