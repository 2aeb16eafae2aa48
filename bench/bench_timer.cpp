// Times two programs against each other for the benchmark, with QueryPerformanceCounter:
//   bench_timer exit   <pairs> <program A> <arguments A> <program B> <arguments B>
//   bench_timer dialog <pairs> <program A> <arguments A> <program B> <arguments B>
// "exit" times a run from just before CreateProcessW until the process has ended. "dialog" times
// it from just before CreateProcessW until a visible top-level dialog window ("#32770") of the
// process exists, polled about every millisecond; it then posts the dialog the OK button's click
// (WM_COMMAND, IDOK, BN_CLICKED) and waits, untimed, for the process to end.
// Each program runs with its own folder as working directory and the command line
// "<quoted program path> <arguments>" (an empty argument text adds nothing), and starts 200 ms
// after the previous run has ended. Warm-up runs of each program are not counted; then the pairs
// run in alternating order (A B, B A, A B, ...), so that a drift of the machine weighs on both
// programs alike.
// Prints every sample and then the lines "median_a_ms=", "median_b_ms=", "exit_a=", "exit_b="
// (the exit code of every run of that program, or "mixed"). Exits with 0 when every run was
// timed, with 1 when a run failed (not started, no dialog, or over the time limit), 2 on bad usage.
#include <windows.h>

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

enum class Mode { kExit, kDialog };

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

RunResult RunOnce(Mode mode, Program& program) {
  // A process's handle is signalled before Wine has finished tearing the process down; on a
  // small machine that work would otherwise fall into the next run's time.
  ::Sleep(kSettleMs);
  RunResult result;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  const LONGLONG start = Now();
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
      ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
      result.timed = ::WaitForSingleObject(process.get(), kRunTimeoutMs) == WAIT_OBJECT_0;
    }
  }
  if (!result.timed) {
    std::fprintf(stderr, "bench_timer: %ls: %s\n", program.path.c_str(),
                 mode == Mode::kDialog ? "no dialog, or it did not end" : "did not end in time");
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
  std::vector<double> milliseconds;
  std::vector<DWORD> exitCodes;
  bool failed = false;

  void Add(const RunResult& run) {
    if (!run.timed) failed = true;
    milliseconds.push_back(run.milliseconds);
    exitCodes.push_back(run.exitCode);
  }
};

void Report(const char* name, const Samples& samples) {
  std::printf("%s_samples_ms=", name);
  for (double sample : samples.milliseconds) std::printf(" %.3f", sample);
  std::printf("\nmedian_%s_ms=%.3f\n", name, Median(samples.milliseconds));
  const bool same = std::all_of(samples.exitCodes.begin(), samples.exitCodes.end(),
                                [&](DWORD code) { return code == samples.exitCodes.front(); });
  if (same) {
    std::printf("exit_%s=%d\n", name, static_cast<int>(samples.exitCodes.front()));
  } else {
    std::printf("exit_%s=mixed\n", name);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  constexpr int kArguments = 7;
  const int pairs = argc == kArguments ? _wtoi(argv[2]) : 0;
  const bool exitMode = argc == kArguments && std::wcscmp(argv[1], L"exit") == 0;
  const bool dialogMode = argc == kArguments && std::wcscmp(argv[1], L"dialog") == 0;
  if (pairs < 1 || (!exitMode && !dialogMode)) {
    std::fprintf(stderr,
                 "usage: bench_timer exit|dialog <pairs> <program A> <arguments A> "
                 "<program B> <arguments B>\n");
    return 2;
  }
  const Mode mode = exitMode ? Mode::kExit : Mode::kDialog;
  // Wine starts its desktop process with the first program that uses windows and ends it about
  // a second after the last such program has ended. Holding the desktop for the whole measurement
  // keeps it up, as it always is on Windows, so no run pays for starting it.
  if (::GetDesktopWindow() == nullptr) {
    std::fprintf(stderr, "bench_timer: no desktop\n");
    return 2;
  }
  Program a = MakeProgram(argv[3], argv[4]);
  Program b = MakeProgram(argv[5], argv[6]);

  for (int i = 0; i < kWarmUpRunsEach; ++i) {
    RunOnce(mode, a);
    RunOnce(mode, b);
  }
  Samples samplesA;
  Samples samplesB;
  for (int i = 0; i < pairs; ++i) {
    if (i % 2 == 0) {
      samplesA.Add(RunOnce(mode, a));
      samplesB.Add(RunOnce(mode, b));
    } else {
      samplesB.Add(RunOnce(mode, b));
      samplesA.Add(RunOnce(mode, a));
    }
  }
  Report("a", samplesA);
  Report("b", samplesB);
  return samplesA.failed || samplesB.failed ? 1 : 0;
}
