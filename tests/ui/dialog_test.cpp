// The real notice dialog of Brantel.exe, driven from this process under Wine and Xvfb.
#include <windows.h>

#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "res/resource.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/harness.h"
#include "tests/harness/dialog_driver.h"
#include "ui/localized_strings.h"
#include "ui/notice_texts.h"

namespace {

using Lines = std::vector<std::wstring>;

const std::wstring kDefaultLink = L"http://www.microsoft.com/windows/internet-explorer/";
const std::wstring kEnglishUpper =
    L"To continue with the installation the Personal Computer must be equipped with Internet "
    L"Explorer\u00ae v8.0 or higher.\n\nClick on the button 'OK' to proceed with the installation "
    L"of Internet Explorer \u00ae v8.0 in English.";
const std::wstring kEnglishLower =
    L"If you wish to install a higher version of Internet Explorer\u00ae or if you wish to install "
    L"it in a different language, you can carry out the download by clicking on the link below. "
    L"The Personal Computer must have an internet connection in order to carry out the download. "
    L"The installation currently in progress will be interrupted.";

// A machine that needs the browser, Brantel.exe and a stand-in English installer in a sandbox.
struct Kit {
  Machine machine;
  Sandbox box;
  std::wstring exe;
  std::wstring installer;

  explicit Kit(const std::wstring& name, DWORD installerExitCode = 0)
      : box(name),
        exe(box.InstallBrantel()),
        installer(box.InstallRecorder(L"ie_setup_2057.exe", installerExitCode)) {}

  void WriteSettings(const std::string& ini) const { box.WriteBytes(L"BRANTEL.INI", ini); }
};

// One run of Brantel.exe whose dialog is on the screen.
struct Shown {
  LogReader log;
  ScopedHandle process;
  HWND dialog = nullptr;

  Shown(const Kit& kit, const std::wstring& args)
      : process(StartProgram(kit.exe, args)),
        dialog(WaitForDialog(::GetProcessId(process.get()))) {}

  bool StillRunning() const { return ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT; }
  DWORD Finish() { return WaitForExit(process.get()); }
  Lines Messages() const { return log.RunMessages(); }
};

// The document class the fallback reaches through ".htm"; the test registers its own.
const std::wstring kHtmlClass = L"BrantelTestHtml";

size_t CountColour(const Pixels& pixels, DWORD rgb) {
  size_t count = 0;
  for (DWORD pixel : pixels.rgb) count += pixel == rgb;
  return count;
}

// The width of the area the colour covers, from its leftmost to its rightmost pixel.
LONG ColourSpan(const Pixels& pixels, DWORD rgb) {
  LONG first = pixels.width, last = -1;
  for (LONG y = 0; y < pixels.height; ++y) {
    for (LONG x = 0; x < pixels.width; ++x) {
      if (pixels.At(x, y) != rgb) continue;
      if (x < first) first = x;
      if (x > last) last = x;
    }
  }
  return last < first ? 0 : last - first + 1;
}

// The longest run of one colour along any row.
LONG LongestRun(const Pixels& pixels, DWORD rgb) {
  LONG best = 0;
  for (LONG y = 0; y < pixels.height; ++y) {
    LONG run = 0;
    for (LONG x = 0; x < pixels.width; ++x) {
      run = pixels.At(x, y) == rgb ? run + 1 : 0;
      if (run > best) best = run;
    }
  }
  return best;
}

INT_PTR CALLBACK PlainDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

TEST_CASE("the notice in every language, with its texts as assembled for it") {
  REQUIRE(SystemUiLanguage() == 1033);
  Kit kit(L"dialog-languages");
  struct Case {
    std::wstring arg;
    int language;
  };
  std::vector<Case> cases;
  for (int id : {7,    1026, 1029, 1030, 1032, 1034, 1035, 1036,  1037, 1038,
                 1040, 1041, 1043, 1045, 1046, 1048, 1049, 1050,  1053, 1055,
                 1060, 1065, 1066, 2052, 2057, 2070, 2074, 14337, 1033, 1031}) {
    cases.push_back({std::to_wstring(id), id});
  }
  cases.push_back({L"deutsch", 0});
  for (const Case& c : cases) {
    CAPTURE(c.arg);
    Shown shown(kit, L"/l " + c.arg);
    CHECK(ControlText(shown.dialog, IDOK) == GetOkText(c.language));
    CHECK(ControlText(shown.dialog, IDC_REQUIREMENT_TEXT) == NoticeUpperText(c.language));
    CHECK(ControlText(shown.dialog, IDC_DOWNLOAD_TEXT) == NoticeLowerText(c.language));
    CHECK(ControlText(shown.dialog, IDC_LINK) == kDefaultLink);
    CHECK(SaveScreenshot(shown.dialog, L"notice-" + c.arg));
    ::SendMessageW(::GetDlgItem(shown.dialog, IDOK), BM_CLICK, 0, 0);
    CHECK(shown.Finish() == 0);
  }
}

TEST_CASE("English, and Turkish with its label inside the English sentence") {
  Kit kit(L"dialog-english");
  {
    Shown shown(kit, L"");
    CHECK(ControlText(shown.dialog, IDOK) == L"OK");
    CHECK(ControlText(shown.dialog, IDC_REQUIREMENT_TEXT) == kEnglishUpper);
    CHECK(ControlText(shown.dialog, IDC_DOWNLOAD_TEXT) == kEnglishLower);
    CHECK(::GetWindowTextLengthW(shown.dialog) == 0);  // no caption
    ::SendMessageW(::GetDlgItem(shown.dialog, IDOK), BM_CLICK, 0, 0);
    shown.Finish();
  }
  Shown turkish(kit, L"/l 1055");
  CHECK(ControlText(turkish.dialog, IDOK) == L"TAMAM\u2310");
  std::wstring upper = kEnglishUpper;
  upper.replace(upper.find(L"'OK'"), 4, L"'TAMAM\u2310'");
  CHECK(ControlText(turkish.dialog, IDC_REQUIREMENT_TEXT) == upper);
  CHECK(ControlText(turkish.dialog, IDC_DOWNLOAD_TEXT) == kEnglishLower);
  ::SendMessageW(::GetDlgItem(turkish.dialog, IDOK), BM_CLICK, 0, 0);
  turkish.Finish();
}

TEST_CASE("OK and Enter run the English installer and end with its exit code") {
  for (const DWORD code : {DWORD{0}, DWORD{3010}, DWORD{0xFFFFFFFF}}) {
    CAPTURE(code);
    Kit kit(L"dialog ok", code);
    kit.WriteSettings("[IE]\r\nparams=/quiet /from-ini\r\n");
    Shown shown(kit, L"/l 1036");
    if (code == 3010) {
      // Enter presses the default button, which has the focus.
      const HWND ok = ::GetDlgItem(shown.dialog, IDOK);
      ::PostMessageW(ok, WM_KEYDOWN, VK_RETURN, 0x001C0001);
      ::PostMessageW(ok, WM_KEYUP, VK_RETURN, 0xC01C0001);
    } else {
      ::SendMessageW(::GetDlgItem(shown.dialog, IDOK), BM_CLICK, 0, 0);
    }
    CHECK(shown.Finish() == code);
    const Lines messages = shown.Messages();
    REQUIRE(messages.size() >= 4);
    const Lines tail(messages.end() - 4, messages.end());
    CHECK(tail == Lines{L"Running Dialog", L"Clicked \"Ok\", running Iesetup(2057)",
                        L"Running process: " + kit.installer + L", Wdir: " + kit.box.Path() +
                            L", Args: /quiet /from-ini",
                        L"Process returned code: " + std::to_wstring(static_cast<int>(code))});
    const std::vector<RecorderRun> runs = RecorderRuns(kit.installer);
    REQUIRE(runs.size() == 1);
    CHECK(runs[0].module == kit.installer);
    CHECK(runs[0].workDir == kit.box.Path());
    CHECK(EndsWith(runs[0].commandLine, L" /quiet /from-ini"));
  }
}

TEST_CASE("Escape, Alt+F4 and the close request leave the notice open") {
  Kit kit(L"dialog-cancel");
  Shown shown(kit, L"");
  const HWND ok = ::GetDlgItem(shown.dialog, IDOK);
  ::PostMessageW(ok, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  ::PostMessageW(ok, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  ::PostMessageW(shown.dialog, WM_SYSKEYDOWN, VK_F4, 0x203E0001);  // Alt+F4
  ::PostMessageW(shown.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  ::PostMessageW(shown.dialog, WM_CLOSE, 0, 0);
  Pause(500);
  CHECK(shown.StillRunning());
  CHECK(::IsWindowVisible(shown.dialog));
  CHECK(RecorderRuns(kit.installer).empty());
  ::SendMessageW(ok, BM_CLICK, 0, 0);
  CHECK(shown.Finish() == 0);
  CHECK(shown.Messages().back() == L"Process returned code: 0");
}

TEST_CASE("the link opens its address, ends the first setup.exe and exits with -1") {
  Kit kit(L"dialog-link");
  Sandbox callers(L"dialog-link-callers");
  Sandbox second(L"dialog-link-callers");
  std::vector<ScopedHandle> setups;
  for (const Sandbox* folder : {&callers, &second}) {
    const std::wstring setup = folder->InstallRecorder(L"setup.exe", 5);
    REQUIRE(WriteUtf8File(setup + L".sleep", L"60000"));
    setups.emplace_back(StartProgram(setup, L""));
  }
  Pause(300);
  const std::wstring browser = kit.box.InstallRecorder(L"browser.exe", 0);
  kit.WriteSettings("[IE]\r\nlink=http://example.invalid/download/\r\n");

  SUBCASE("through the shell") {
    ClassCommand http(L"http\\shell\\open\\command", L"\"" + browser + L"\" \"%1\"");
    Shown shown(kit, L"");
    CHECK(ControlText(shown.dialog, IDC_LINK) == L"http://example.invalid/download/");
    ClickControl(::GetDlgItem(shown.dialog, IDC_LINK));
    CHECK(shown.Finish() == 0xFFFFFFFF);
    CHECK(shown.Messages().back() == L"Clicked link. Opened url, closing setup and application...");
    const std::vector<RecorderRun> runs = RecorderRuns(browser);
    REQUIRE(runs.size() == 1);
    CHECK(runs[0].commandLine.find(L"http://example.invalid/download/") != std::wstring::npos);
  }
  SUBCASE("the shell fails: the .htm command runs") {
    ClassCommand http(L"http\\shell\\open\\command", L"C:\\no-such-browser.exe \"%1\"");
    ClassCommand htm(L".htm", kHtmlClass);
    ClassCommand html(kHtmlClass + L"\\shell\\open\\command",
                      L"\"" + browser + L"\" \"%1\" -extra");
    Shown shown(kit, L"");
    ClickControl(::GetDlgItem(shown.dialog, IDC_LINK));
    CHECK(shown.Finish() == 0xFFFFFFFF);
    const std::vector<RecorderRun> runs = RecorderRuns(browser);
    REQUIRE(runs.size() == 1);
    CHECK(EndsWith(runs[0].commandLine, L" http://example.invalid/download/"));
    CHECK(runs[0].commandLine.find(L"-extra") == std::wstring::npos);
  }
  SUBCASE("both fail: the error is shown, and the result is still -1") {
    ClassCommand http(L"http\\shell\\open\\command", L"C:\\no-such-browser.exe \"%1\"");
    ClassCommand htm(L".htm", kHtmlClass);
    ClassCommand html(kHtmlClass + L"\\shell\\open\\command", L"C:\\no-such-browser.exe \"%1\"");
    Shown shown(kit, L"");
    ClickControl(::GetDlgItem(shown.dialog, IDC_LINK));
    const HWND box = WaitForMessageBox(::GetProcessId(shown.process.get()), shown.dialog);
    CHECK(ControlText(box, 0xFFFF) ==
          L"Unable to open hyperlink:\n\nThe specified file was not found.");
    SaveScreenshot(box, L"link-error");
    CHECK(shown.StillRunning());
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    CHECK(shown.Finish() == 0xFFFFFFFF);
    CHECK(RecorderRuns(browser).empty());
  }

  // Exactly one of the callers was ended, with exit code 0; the other runs on.
  Pause(300);
  int ended = 0;
  for (ScopedHandle& setup : setups) {
    if (::WaitForSingleObject(setup.get(), 0) == WAIT_OBJECT_0) {
      ++ended;
      DWORD code = 1;
      ::GetExitCodeProcess(setup.get(), &code);
      CHECK(code == 0);
    } else {
      ::TerminateProcess(setup.get(), 1);
    }
  }
  CHECK(ended == 1);
}

TEST_CASE("the link fits the placeholder text, turns red under the pointer and back") {
  Kit kit(L"dialog-hover");
  LONG widths[2] = {};
  const std::string addresses[2] = {"file:///C:/a",
                                    "http://example.invalid/" + std::string(150, 'a') + "/"};
  for (int i = 0; i < 2; ++i) {
    kit.WriteSettings("[IE]\r\nlink=" + addresses[i] + "\r\n");
    Shown shown(kit, L"");
    const HWND link = ::GetDlgItem(shown.dialog, IDC_LINK);
    const RECT rect = ScreenRect(link);
    widths[i] = rect.right - rect.left;
    if (i == 1) {
      const RECT dialog = ScreenRect(shown.dialog);
      ::SetCursorPos(dialog.left + 5, dialog.bottom - 5);
      Pause(300);
      const Pixels idle = CapturePixels(rect);
      CHECK(CountColour(idle, 0x0000EE) > 0);
      CHECK(CountColour(idle, 0xFF0000) == 0);

      ::SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
      Pause(300);
      const Pixels hover = CapturePixels(rect);
      CHECK(CountColour(hover, 0xFF0000) > 0);
      CHECK(CountColour(hover, 0x0000EE) == 0);
      // Underlined: a red line runs under the whole text.
      CHECK(LongestRun(hover, 0xFF0000) * 10 >= ColourSpan(hover, 0xFF0000) * 9);
      SaveScreenshot(shown.dialog, L"link-hover");

      ::SetCursorPos(dialog.left + 5, dialog.bottom - 5);
      Pause(200);  // two timer periods
      const Pixels left = CapturePixels(rect);
      CHECK(CountColour(left, 0xFF0000) == 0);
      CHECK(CountColour(left, 0x0000EE) > 0);
      CHECK(LongestRun(left, 0x0000EE) * 2 < ColourSpan(left, 0x0000EE));
    }
    ::SendMessageW(::GetDlgItem(shown.dialog, IDOK), BM_CLICK, 0, 0);
    shown.Finish();
  }
  // The width comes from the 53-character placeholder, whatever the address.
  CHECK(widths[0] == widths[1]);
  CHECK(widths[0] > 100);
}

TEST_CASE("every language's texts fit their controls as the platform lays them out") {
  // The template is this program's copy of the one in Brantel.exe.
  HWND dialog = ::CreateDialogParamW(::GetModuleHandleW(nullptr),
                                     MAKEINTRESOURCEW(IDD_NOTICE_DIALOG), nullptr, &PlainDialog, 0);
  REQUIRE(dialog != nullptr);
  for (int language :
       {7,    1026, 1029, 1030, 1032, 1034, 1035, 1036, 1037, 1038, 1040, 1041, 1043, 1045,
        1046, 1048, 1049, 1050, 1053, 1055, 1060, 1065, 1066, 2052, 2057, 2070, 2074, 14337}) {
    CAPTURE(language);
    for (const int id : {IDC_REQUIREMENT_TEXT, IDC_DOWNLOAD_TEXT}) {
      CAPTURE(id);
      const HWND control = ::GetDlgItem(dialog, id);
      const CString text =
          id == IDC_REQUIREMENT_TEXT ? NoticeUpperText(language) : NoticeLowerText(language);
      RECT client;
      ::GetClientRect(control, &client);
      RECT needed = client;
      HDC dc = ::GetDC(control);
      HGDIOBJ previous =
          ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
      ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
                  DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
      ::SelectObject(dc, previous);
      ::ReleaseDC(control, dc);
      CHECK(needed.bottom - needed.top <= client.bottom - client.top);
      CHECK(needed.right - needed.left <= client.right - client.left);
    }
  }
  ::DestroyWindow(dialog);
}
