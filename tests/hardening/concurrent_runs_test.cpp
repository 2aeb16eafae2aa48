// Four runs of Brantel.exe at once, each up to the notice and OK, with long lines: the shared log
// gets every line of every run, each whole.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "tests/hardening/brantel_runs.h"
#include "tests/harness/dialog_driver.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/harness.h"

namespace {

constexpr int kRuns = 4;
// Stands for an unstamped header line in the lists compared below.
const std::wstring kRawLine = L"<raw>";

Lines HeaderTexts() {
  const std::wstring stars(63, L'*');
  return {kRawLine, kRawLine, stars, L"SW: Brantel.exe", stars};
}

}  // namespace

TEST_SUITE("concurrent-runs") {
  TEST_CASE("four runs that each reach the notice append whole lines and lose none") {
    Kit kit(L"concurrent-notices");
    const std::wstring installer = kit.box.InstallRecorder(L"ie_setup_2057.exe", 0);
    REQUIRE(WriteUtf8File(installer + L".sleep", L"300"));
    // Every installer line carries 3,000 characters of parameters.
    const std::wstring parameters = L"/passive " + std::wstring(3000, L'p');
    kit.box.WriteBytes(L"BRANTEL.INI", "[IE]\r\nparams=" + ToUtf8(parameters) + "\r\n");

    Lines expected;
    std::vector<ScopedHandle> runs;
    LogReader log;
    CrashDialogOff noCrashDialog;
    for (int i = 0; i < kRuns; ++i) {
      // A language of 2,000 characters of its own per run: three long lines each.
      const std::wstring language =
          std::to_wstring(i) + std::wstring(2000, static_cast<wchar_t>(L'a' + i));
      runs.emplace_back(StartProgram(kit.exe, L"/l " + language));
      expected = Concat(expected, HeaderTexts());
      expected = Concat(
          expected,
          Concat(Preamble(kit.exe, {L"/l", language},
                          {L"Found lang(/l): " + language, L"lang: " + language}, parameters),
                 NoticeLines(kit, 0, parameters)));
    }
    // All four notices are up before any OK: the installer runs and their lines overlap.
    std::vector<HWND> notices;
    for (ScopedHandle& run : runs) notices.push_back(WaitForDialog(::GetProcessId(run.get())));
    for (HWND notice : notices) ::PostMessageW(::GetDlgItem(notice, IDOK), BM_CLICK, 0, 0);
    for (ScopedHandle& run : runs) CHECK(WaitForExit(run.get(), 30000) == 0);

    Lines texts;
    for (const std::wstring& line : log.NewLines()) {
      std::wstring text;
      if (line == L".") {
        texts.push_back(kRawLine);
      } else {
        CHECK_MESSAGE(ParseStampedLine(line, text),
                      "not a whole line: ", ToUtf8(line.substr(0, 80)));
        texts.push_back(text);
      }
    }
    CHECK(texts.size() == expected.size());
    std::sort(texts.begin(), texts.end());
    std::sort(expected.begin(), expected.end());
    CHECK(texts == expected);
  }
}
