// Brantel.exe end to end on bad input of every kind it reads: its command line, the settings
// file, the registry values of the probes, the installer it runs and the log it writes. Each row
// runs the real program under a time limit and checks its exit code and every line of its run.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "tests/hardening/brantel_runs.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/harness.h"

namespace {

constexpr DWORD kInstallerCode = 7;

// What one row expects of its run. messages are the run's lines after the header; when the log
// cannot take lines, the file must be left as it was instead.
struct Plan {
  Lines arguments;
  DWORD exitCode = 0;
  Lines messages;
  bool logWritable = true;
  // Where the run's lines go when not to the shared log.
  std::wstring logPath;
  // The run's time limit: past it the run counts as hung.
  DWORD timeoutMs = 30000;
  // Lives for the run: locks, renamed folders and other state the row puts back afterwards.
  std::shared_ptr<void> held;
  // Further checks after the run, such as what the installer was given.
  std::function<void()> verify;
};

struct Row {
  const char* name;
  std::function<Plan(Kit&)> arrange;
};

void RunRows(const wchar_t* area, const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    SUBCASE(row.name) {
      const std::wstring sharedLog = SharedLogPath();
      Kit kit(area);
      Plan plan = row.arrange(kit);
      const std::wstring logPath = plan.logPath.empty() ? sharedLog : plan.logPath;
      std::string before;
      const bool hadLog = ReadFileBytes(logPath, before);
      LogReader log(logPath);
      const Outcome outcome = RunToEnd(kit.exe, CommandLineFor(plan.arguments), plan.timeoutMs);
      CHECK(outcome.exitCode == plan.exitCode);
      if (plan.logWritable) {
        CHECK(log.RunMessages() == plan.messages);
      } else {
        std::string after;
        CHECK(ReadFileBytes(logPath, after) == hadLog);
        CHECK(after == before);
      }
      if (plan.verify) plan.verify();
    }
  }
}

std::string Utf16Bytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::string Utf16BytesWithNul(const std::wstring& text) { return Utf16Bytes(text + L'\0'); }

// Checks that the installer ran once and was given these parameters.
std::function<void()> InstallerGot(const std::wstring& installer, const std::wstring& parameters) {
  return [installer, parameters] {
    const std::vector<RecorderRun> runs = RecorderRuns(installer);
    REQUIRE(runs.size() == 1);
    CHECK(EndsWith(runs[0].commandLine, L"\" " + parameters));
  };
}

// ---- command line: the language reaches only the notice, so the rows about the language run up
// to the notice; the others run on an embedded device, which ends sooner ----

Plan ArgumentsRun(Kit& kit, const Lines& arguments, const Lines& languageLines) {
  kit.machine.SetEmbedded(L"Haldry", L"1");
  kit.box.InstallRecorder(L"ie_setup_2057.exe", 0);
  Plan plan;
  plan.arguments = arguments;
  plan.exitCode = 0;
  plan.messages = Concat(Preamble(kit.exe, arguments, languageLines), EmbeddedLines(kit, 0));
  return plan;
}

Plan NoticeRun(Kit& kit, const Lines& arguments, const Lines& languageLines) {
  kit.box.InstallRecorder(L"ie_setup_2057.exe", 0);
  Plan plan;
  plan.arguments = arguments;
  plan.exitCode = 0;
  plan.messages = Concat(Preamble(kit.exe, arguments, languageLines), NoticeLines(kit, 0));
  return plan;
}

Row LanguageRow(const char* name, const std::wstring& language) {
  return {name, [language](Kit& kit) {
            return NoticeRun(kit, {L"/l", language},
                             {L"Found lang(/l): " + language, L"lang: " + language});
          }};
}

std::wstring EveryKindOfCharacter(size_t length) {
  const std::wstring pieces[] = {L"abc",    L" ",      L"\"",         L"\\", L"\\\"", L"%s%n%d",
                                 L"\u00e9", L"\u4e2d", L"\U0001F600", L"\t", L"'",    L"&|<>^"};
  std::wstring text;
  for (size_t i = 0; text.size() < length; ++i)
    text += pieces[i % (sizeof(pieces) / sizeof(*pieces))];
  text.resize(length);
  if (IS_HIGH_SURROGATE(text.back())) text.back() = L'x';
  return text;
}

// ---- settings file: an embedded device, where the parameters reach the installer ----

Plan EmbeddedRun(Kit& kit, const std::wstring& parameters) {
  kit.machine.SetEmbedded(L"Haldry", L"1");
  const std::wstring installer = kit.box.InstallRecorder(L"ie_setup_2057.exe", 0);
  Plan plan;
  plan.exitCode = 0;
  plan.messages =
      Concat(Preamble(kit.exe, {}, {L"lang: 2057"}, parameters), EmbeddedLines(kit, 0, parameters));
  plan.verify = InstallerGot(installer, parameters);
  return plan;
}

Row SettingsRow(const char* name, const std::string& bytes, const std::wstring& parameters) {
  return {name, [bytes, parameters](Kit& kit) {
            kit.box.WriteBytes(L"BRANTEL.INI", bytes);
            return EmbeddedRun(kit, parameters);
          }};
}

std::string Garbage(size_t size) {
  std::string bytes(size, '\0');
  unsigned state = 12345;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 16);
    if (byte == '[') byte = 'x';  // no section can start
  }
  return bytes;
}

// ---- registry: the browser version on an embedded device, so that "not installed" runs the
// installer at once ----

struct Value {
  DWORD type;
  std::string bytes;
};

Plan VersionRun(Kit& kit, const Value& value, bool installed) {
  kit.machine.SetEmbedded(L"Haldry", L"1");
  kit.machine.SetBinary(Machine::kBrowserKey, L"Version", value.type, value.bytes);
  kit.box.InstallRecorder(L"ie_setup_2057.exe", kInstallerCode);
  Plan plan;
  plan.exitCode = installed ? 0 : kInstallerCode;
  plan.messages = Concat(Preamble(kit.exe, {}, {L"lang: 2057"}),
                         installed ? PresentLines() : EmbeddedLines(kit, kInstallerCode));
  return plan;
}

Row VersionRow(const char* name, const Value& value, bool installed) {
  return {name, [value, installed](Kit& kit) { return VersionRun(kit, value, installed); }};
}

Value Text(const std::wstring& text, DWORD type = REG_SZ) {
  return {type, Utf16BytesWithNul(text)};
}

// ---- registry: the device flag; a device runs the installer, any other machine gets the notice
// and OK runs the same installer ----

Plan DeviceRun(Kit& kit, bool embedded) {
  kit.box.InstallRecorder(L"ie_setup_2057.exe", kInstallerCode);
  Plan plan;
  plan.exitCode = kInstallerCode;
  plan.messages =
      Concat(Preamble(kit.exe, {}, {L"lang: 2057"}),
             embedded ? EmbeddedLines(kit, kInstallerCode) : NoticeLines(kit, kInstallerCode));
  return plan;
}

Row DeviceRow(const char* name, const Value& value, bool embedded) {
  return {name, [value, embedded](Kit& kit) {
            kit.machine.SetBinary(Machine::ProductKey(L"Haldry"), L"Xp_Embedded", value.type,
                                  value.bytes);
            return DeviceRun(kit, embedded);
          }};
}

// ---- the installer, on an embedded device ----

Plan InstallerExitRun(Kit& kit, DWORD code) {
  kit.machine.SetEmbedded(L"Haldry", L"1");
  kit.box.InstallRecorder(L"ie_setup_2057.exe", code);
  Plan plan;
  plan.exitCode = code;
  plan.messages =
      Concat(Preamble(kit.exe, {}, {L"lang: 2057"}), EmbeddedLines(kit, static_cast<int>(code)));
  return plan;
}

Row ExitCodeRow(const char* name, DWORD code) {
  return {name, [code](Kit& kit) { return InstallerExitRun(kit, code); }};
}

// An installer file the platform refuses to start: the exit code is the platform's error.
Plan RefusedInstallerRun(Kit& kit) {
  kit.machine.SetEmbedded(L"Haldry", L"1");
  const DWORD error = StartError(kit.English());
  CHECK(error != ERROR_SUCCESS);
  Plan plan;
  plan.exitCode = error;
  plan.messages =
      Concat(Preamble(kit.exe, {}, {L"lang: 2057"}), EmbeddedStartFailedLines(kit, error));
  return plan;
}

Row CrashRow(const char* name, const std::wstring& mode) {
  return {name, [mode](Kit& kit) {
            auto crashDialogOff = std::make_shared<CrashDialogOff>();
            kit.machine.SetEmbedded(L"Haldry", L"1");
            kit.box.WriteBytes(L"BRANTEL.INI", "[IE]\r\nparams=" + ToUtf8(mode) + "\r\n");
            const std::wstring installer =
                kit.box.InstallBuilt(L"crasher.exe", L"ie_setup_2057.exe");
            // The code the platform reports for this crash when nothing stands between.
            const std::wstring probe = kit.box.InstallBuilt(L"crasher.exe", L"probe.exe");
            const DWORD crashCode = RunAndWait(probe, mode);
            CHECK(crashCode != 0);
            Plan plan;
            plan.exitCode = crashCode;
            plan.messages = Concat(Preamble(kit.exe, {}, {L"lang: 2057"}, mode),
                                   EmbeddedLines(kit, static_cast<int>(crashCode), mode));
            plan.held = crashDialogOff;
            return plan;
          }};
}

// ---- the log ----

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

// Moves a file or folder aside for the life of the object, then puts it back.
class MovedAside {
 public:
  explicit MovedAside(std::wstring path) : path_(std::move(path)), aside_(path_ + L".aside") {
    moved_ = ::MoveFileExW(path_.c_str(), aside_.c_str(), 0) != FALSE;
  }
  ~MovedAside() {
    if (moved_) ::MoveFileExW(aside_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  MovedAside(const MovedAside&) = delete;
  MovedAside& operator=(const MovedAside&) = delete;
  bool Moved() const { return moved_; }

 private:
  std::wstring path_;
  std::wstring aside_;
  bool moved_ = false;
};

bool CanAppend(const std::wstring& path) {
  ScopedFileHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid();
}

// Whether the platform lets a write through another handle's lock on the bytes written: Windows
// refuses it, Wine 8 lets it through.
bool WritesPassForeignLock(const Sandbox& box) {
  const std::wstring path = box.File(L"lock-probe.log");
  ScopedFileHandle holder(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  REQUIRE(holder);
  OVERLAPPED whole = {};
  REQUIRE(::LockFileEx(holder.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole));
  ScopedFileHandle writer(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  REQUIRE(writer);
  DWORD written = 0;
  return ::WriteFile(writer.get(), "x", 1, &written, nullptr) && written == 1;
}

Plan LogRun(Kit& kit, bool writable) {
  kit.machine.SetEmbedded(L"Haldry", L"1");
  kit.box.InstallRecorder(L"ie_setup_2057.exe", kInstallerCode);
  Plan plan;
  plan.exitCode = kInstallerCode;
  plan.messages =
      Concat(Preamble(kit.exe, {}, {L"lang: 2057"}), EmbeddedLines(kit, kInstallerCode));
  plan.logWritable = writable;
  return plan;
}

}  // namespace

TEST_SUITE("bad-input") {
  TEST_CASE("the command line") {
    REQUIRE(SystemUiLanguage() == 1033);
    const std::wstring tenThousandDigits(10000, L'7');
    const std::wstring oddText = EveryKindOfCharacter(10000);
    Lines thousand;
    Lines thousandFound;
    for (int i = 0; i < 500; ++i) {
      thousand.push_back(L"/l");
      thousand.push_back(std::to_wstring(1000 + i));
      thousandFound.push_back(L"Found lang(/l): " + std::to_wstring(1000 + i));
    }
    thousandFound.push_back(L"lang: 1499");
    RunRows(L"bad-args",
            {
                LanguageRow("a language of 10,000 digits", tenThousandDigits),
                {"one argument of 10,000 characters of every kind",
                 [&](Kit& kit) { return ArgumentsRun(kit, {oddText}, {L"lang: 2057"}); }},
                {"1,000 arguments: 500 language options, each logged, the last one wins",
                 [&](Kit& kit) { return ArgumentsRun(kit, thousand, thousandFound); }},
                LanguageRow("\"/l\" followed by an empty argument", L""),
                LanguageRow("a language past 32 bits", L"4294967296"),
                LanguageRow("a language below the smallest int", L"-2147483649"),
                LanguageRow("a language of 40 digits", std::wstring(40, L'9')),
                {"format directives in the arguments are logged as text",
                 [](Kit& kit) {
                   return NoticeRun(kit, {L"%n%n%n%n", L"/l", L"%s%s%s%s%s%n"},
                                    {L"Found lang(/l): %s%s%s%s%s%n", L"lang: %s%s%s%s%s%n"});
                 }},
                {"empty, blank and tab arguments, right-to-left mark and emoji",
                 [](Kit& kit) {
                   return ArgumentsRun(kit, {L"", L" ", L"\t", L"\u202e", L"\U0001F600", L"a\"b\\"},
                                       {L"lang: 2057"});
                 }},
                {"a lone surrogate is logged as the replacement character",
                 [](Kit& kit) {
                   Plan plan = ArgumentsRun(kit, {L"/l", L"x\xd800y"},
                                            {L"Found lang(/l): x\xfffdy", L"lang: x\xfffdy"});
                   plan.messages[0] = L"Args: " + kit.exe + L" /l x\xfffdy ";
                   return plan;
                 }},
            });
  }

  TEST_CASE("the settings file") {
    const std::string fiveThousandDirectives = [] {
      std::string text;
      while (text.size() < 5000) text += "%s%n";
      return text;
    }();
    RunRows(L"bad-ini",
            {
                {"missing", [](Kit& kit) { return EmbeddedRun(kit, kDefaultParameters); }},
                SettingsRow("empty", "", kDefaultParameters),
                SettingsRow("binary garbage", Garbage(4096), kDefaultParameters),
                SettingsRow("UTF-16 with a byte-order mark",
                            Utf16Bytes(L"\xfeff[IE]\r\nparams=/utf16 \u00e9\u4e2d\r\n"),
                            L"/utf16 \u00e9\u4e2d"),
                SettingsRow("the key without any section", "params=/no-section\r\n",
                            kDefaultParameters),
                SettingsRow("section and key in other letter cases", "[ie]\r\nPARAMS=/lower\r\n",
                            L"/lower"),
                SettingsRow("5,000 characters of format directives, cut to 4,095",
                            "[IE]\r\nparams=" + fiveThousandDirectives + "\r\n",
                            FromUtf8(fiveThousandDirectives.substr(0, 4095))),
                {"held open without sharing by another program",
                 [](Kit& kit) {
                   kit.box.WriteBytes(L"BRANTEL.INI", "[IE]\r\nparams=/locked\r\n");
                   auto holder = std::make_shared<ScopedFileHandle>(
                       ::CreateFileW(kit.box.File(L"BRANTEL.INI").c_str(), GENERIC_READ, 0, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
                   REQUIRE(holder->valid());
                   Plan plan = EmbeddedRun(kit, kDefaultParameters);
                   plan.held = holder;
                   return plan;
                 }},
                {"a folder of that name",
                 [](Kit& kit) {
                   REQUIRE(::CreateDirectoryW(kit.box.File(L"BRANTEL.INI").c_str(), nullptr));
                   return EmbeddedRun(kit, kDefaultParameters);
                 }},
            });
  }

  TEST_CASE("the browser version in the registry") {
    const std::wstring installed = L"8.0.6001.18702";
    std::string withoutNul = Utf16Bytes(L"8.0");
    RunRows(L"bad-version",
            {
                VersionRow("REG_NONE", Text(installed, REG_NONE), false),
                VersionRow("REG_BINARY", Text(installed, REG_BINARY), false),
                VersionRow("REG_MULTI_SZ", {REG_MULTI_SZ, Utf16Bytes(installed + L'\0' + L'\0')},
                           false),
                VersionRow("REG_EXPAND_SZ", Text(installed, REG_EXPAND_SZ), true),
                VersionRow("REG_EXPAND_SZ is not expanded",
                           Text(L"%NUMBER_OF_PROCESSORS%.0", REG_EXPAND_SZ), false),
                VersionRow("REG_QWORD", {REG_QWORD, std::string("\x08\0\0\0\0\0\0\0", 8)}, false),
                VersionRow("REG_DWORD_BIG_ENDIAN",
                           {REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\x08", 4)}, false),
                VersionRow("126 characters, the longest text read",
                           Text(L"8." + std::wstring(124, L'0')), true),
                VersionRow("127 characters, too long to read",
                           Text(L"8." + std::wstring(125, L'0')), false),
                VersionRow("64 KiB", Text(L"8." + std::wstring(32000, L'1')), false),
                VersionRow("text without its terminator", {REG_SZ, withoutNul}, true),
                VersionRow("text of an odd number of bytes", {REG_SZ, withoutNul + '\0'}, true),
                VersionRow("no bytes at all", {REG_SZ, std::string()}, false),
                VersionRow("\"8..\"", Text(L"8.."), true),
                VersionRow("\"999999999999.0\"", Text(L"999999999999.0"), true),
                VersionRow("\"-8.0\"", Text(L"-8.0"), false),
                VersionRow("\"\\t8.0\"", Text(L"\t8.0"), true),
                VersionRow("\".8\"", Text(L".8"), false),
            });
  }

  TEST_CASE("the device flag in the registry") {
    RunRows(
        L"bad-device",
        {
            DeviceRow("REG_NONE", Text(L"1", REG_NONE), false),
            DeviceRow("REG_BINARY", Text(L"1", REG_BINARY), false),
            DeviceRow("REG_MULTI_SZ", {REG_MULTI_SZ, Utf16Bytes(std::wstring(L"1\0\0", 3))}, false),
            DeviceRow("REG_EXPAND_SZ", Text(L"%SystemRoot%", REG_EXPAND_SZ), true),
            DeviceRow("REG_QWORD", {REG_QWORD, std::string("\x01\0\0\0\0\0\0\0", 8)}, false),
            {"REG_DWORD in the first key, text in the second",
             [](Kit& kit) {
               kit.machine.SetDword(Machine::ProductKey(L"Haldry"), L"Xp_Embedded", 1);
               kit.machine.SetEmbedded(L"Tirnavel", L"1");
               return DeviceRun(kit, true);
             }},
            DeviceRow("126 characters", Text(std::wstring(126, L'1')), true),
            DeviceRow("127 characters, too long to read", Text(std::wstring(127, L'1')), false),
            DeviceRow("no bytes at all: empty text", {REG_SZ, std::string()}, true),
            DeviceRow("\"-1\" without its terminator", {REG_SZ, Utf16Bytes(L"-1")}, false),
            {"\"-1\" twice, then \"-1 \"",
             [](Kit& kit) {
               kit.machine.SetEmbedded(L"Haldry", L"-1");
               kit.machine.SetEmbedded(L"Tirnavel", L"-1");
               kit.machine.SetEmbedded(L"Osmundra", L"-1 ");
               return DeviceRun(kit, true);
             }},
        });
  }

  TEST_CASE("the installer") {
    RunRows(L"bad-installer",
            {
                {"missing, after OK in the notice",
                 [](Kit& kit) {
                   Plan plan;
                   plan.exitCode = ERROR_FILE_NOT_FOUND;
                   plan.messages =
                       Concat(Preamble(kit.exe, {}, {L"lang: 2057"}), NoticeLines(kit, 0));
                   plan.messages.back() = L"Can't run process, error: 2";
                   return plan;
                 }},
                {"a text file",
                 [](Kit& kit) {
                   kit.box.WriteBytes(L"ie_setup_2057.exe", "@echo off\r\nexit /b 0\r\n");
                   return RefusedInstallerRun(kit);
                 }},
                {"an empty file",
                 [](Kit& kit) {
                   kit.box.WriteBytes(L"ie_setup_2057.exe", "");
                   return RefusedInstallerRun(kit);
                 }},
                {"a library, not a program",
                 [](Kit& kit) {
                   kit.box.InstallBuilt(L"module_marker.dll", L"ie_setup_2057.exe");
                   return RefusedInstallerRun(kit);
                 }},
                {"a folder of that name",
                 [](Kit& kit) {
                   REQUIRE(::CreateDirectoryW(kit.English().c_str(), nullptr));
                   return RefusedInstallerRun(kit);
                 }},
                CrashRow("crashes writing through a null pointer", L"null"),
                CrashRow("crashes with an exception of its own", L"raise"),
                CrashRow("calls abort()", L"abort"),
                ExitCodeRow("exits with 0", 0),
                ExitCodeRow("exits with 1", 1),
                ExitCodeRow("exits with 259, the code that reads as still running", STILL_ACTIVE),
                ExitCodeRow("exits with 0x7FFFFFFF", 0x7FFFFFFF),
                ExitCodeRow("exits with 0x80000000", 0x80000000),
                ExitCodeRow("exits with 0xFFFFFFFF", 0xFFFFFFFF),
                {"exits with 0x80000000 after OK in the notice",
                 [](Kit& kit) {
                   kit.box.InstallRecorder(L"ie_setup_2057.exe", 0x80000000);
                   Plan plan;
                   plan.exitCode = 0x80000000;
                   plan.messages = Concat(Preamble(kit.exe, {}, {L"lang: 2057"}),
                                          NoticeLines(kit, static_cast<int>(0x80000000)));
                   return plan;
                 }},
            });
  }

  TEST_CASE("the log") {
    const std::wstring logPath = SharedLogPath();
    RunRows(
        L"bad-log",
        {
            {"read-only: written wherever the platform lets it be opened",
             [&](Kit& kit) {
               REQUIRE(::SetFileAttributesW(logPath.c_str(), FILE_ATTRIBUTE_READONLY));
               auto restore = std::shared_ptr<void>(nullptr, [logPath](void*) {
                 ::SetFileAttributesW(logPath.c_str(), FILE_ATTRIBUTE_NORMAL);
               });
               // Wine run as root ignores the attribute for writing; Windows refuses the open.
               Plan plan = LogRun(kit, CanAppend(logPath));
               plan.held = restore;
               plan.verify = [logPath] {
                 CHECK((::GetFileAttributesW(logPath.c_str()) & FILE_ATTRIBUTE_READONLY) != 0);
               };
               return plan;
             }},
            {"held open without sharing by another program, with the notice shown",
             [&](Kit& kit) {
               auto holder = std::make_shared<ScopedFileHandle>(
                   ::CreateFileW(logPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
               REQUIRE(holder->valid());
               kit.box.InstallRecorder(L"ie_setup_2057.exe", kInstallerCode);
               Plan plan;
               plan.exitCode = kInstallerCode;
               plan.logWritable = false;
               plan.held = holder;
               return plan;
             }},
            {"locked over its whole length by another program",
             [&](Kit& kit) {
               auto holder = std::make_shared<ScopedFileHandle>(
                   ::CreateFileW(logPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
               REQUIRE(holder->valid());
               OVERLAPPED whole = {};
               REQUIRE(::LockFileEx(holder->get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD,
                                    &whole));
               // The lock also covers the byte the writers serialise on: the run waits for it
               // once, then writes without it. A normal run takes well under a second.
               Plan plan = LogRun(kit, WritesPassForeignLock(kit.box));
               plan.held = holder;
               plan.timeoutMs = 10000;
               return plan;
             }},
            {"its folder missing: the lines go to \\Vorn.log on the current drive",
             [&](Kit& kit) {
               // The platform reports no shared documents folder once it is gone; the log then
               // takes "\Vorn.log", on drive C: where the run starts.
               const std::wstring rootLog = L"C:\\Vorn.log";
               ::DeleteFileW(rootLog.c_str());
               auto folder = std::make_shared<MovedAside>(FolderOf(logPath));
               REQUIRE(folder->Moved());
               auto removeRootLog = std::shared_ptr<void>(
                   folder.get(), [folder, rootLog](void*) { ::DeleteFileW(rootLog.c_str()); });
               Plan plan = LogRun(kit, true);
               plan.logPath = rootLog;
               plan.held = removeRootLog;
               plan.verify = [logPath] {
                 CHECK(::GetFileAttributesW(FolderOf(logPath).c_str()) == INVALID_FILE_ATTRIBUTES);
               };
               return plan;
             }},
            {"a folder in its place",
             [&](Kit& kit) {
               auto file = std::make_shared<MovedAside>(logPath);
               REQUIRE(file->Moved());
               REQUIRE(::CreateDirectoryW(logPath.c_str(), nullptr));
               auto folder = std::shared_ptr<void>(
                   file.get(), [file, logPath](void*) { ::RemoveDirectoryW(logPath.c_str()); });
               Plan plan = LogRun(kit, false);
               plan.held = folder;
               return plan;
             }},
        });
  }
}
