#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "log/log_to_file.h"
#include "tests/harness/doctest_config.h"
#include "tests/harness/harness.h"

namespace {

std::wstring Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring text = ToStd(FormatLogText(format, args));
  va_end(args);
  return text;
}

}  // namespace

TEST_CASE("a new log starts with the header, and each run appends another") {
  Sandbox box(L"log-header");
  const std::wstring path = box.File(L"Vorn.log");
  {
    CLogToFile log(ToCString(path));
    log.WriteLine(L"first run", true);
  }
  std::string bytes;
  REQUIRE(ReadFileBytes(path, bytes));
  CHECK(bytes.substr(0, 6) == ".\r\n.\r\n");  // no byte-order mark, raw lines unstamped

  LogReader second(path);
  { CLogToFile log(ToCString(path)); }
  CHECK(second.NewLines().size() == 5);

  const std::vector<std::wstring> every = ReadLogLines(path);
  REQUIRE(every.size() == 11);
  CheckHeader(every, 0);
  std::wstring text;
  REQUIRE(ParseStampedLine(every[5], text));
  CHECK(text == L"first run");
  CheckHeader(every, 6);
}

TEST_CASE("lines are written as given, stamped, with a full stop and CR LF") {
  Sandbox box(L"log-lines");
  const std::wstring path = box.File(L"Vorn.log");
  CLogToFile log(ToCString(path));
  LogReader reader(path);
  log.WriteLine(L"", true);
  log.WriteLine(L"Done...", true);
  log.WriteLine(L"100% of %s and %d", true);
  log.WriteFormat(L"Found lang(/l): %s", L"%d%s");
  log.WriteFormat(L"OS language. %d", 1040);
  log.WriteFormat(L"Process returned code: %d", static_cast<int>(0xFFFFFFFFu));
  log.WriteLine(L"Sehr geehrte Kundin \u00e4\u00df \u0420\u0443\u0441 \u4e2d\u6587 \u2310", true);
  log.WriteLine(L"two\nlines", true);

  const std::vector<std::wstring> lines = reader.NewLines();
  REQUIRE(lines.size() == 9);
  std::vector<std::wstring> texts;
  for (size_t i = 0; i < 7; ++i) {
    std::wstring text;
    REQUIRE(ParseStampedLine(lines[i], text));
    texts.push_back(text);
  }
  CHECK(texts[0] == L"");
  CHECK(texts[1] == L"Done...");
  CHECK(lines[1].substr(lines[1].size() - 4) == L"....");
  CHECK(texts[2] == L"100% of %s and %d");
  CHECK(texts[3] == L"Found lang(/l): %d%s");
  CHECK(texts[4] == L"OS language. 1040");
  CHECK(texts[5] == L"Process returned code: -1");
  CHECK(texts[6] == L"Sehr geehrte Kundin \u00e4\u00df \u0420\u0443\u0441 \u4e2d\u6587 \u2310");
  // A line feed inside a text reaches the disk as CR LF, like the line end.
  CHECK(lines[7].substr(lines[7].size() - 4) == L" two");
  CHECK(lines[8] == L"lines.");

  std::string bytes;
  REQUIRE(ReadFileBytes(path, bytes));
  CHECK(bytes.find("\xC3\xA4\xC3\x9F") != std::string::npos);  // UTF-8, not a code page
}

TEST_CASE("formatted text is complete at every length") {
  for (const size_t length : {size_t{0}, size_t{1023}, size_t{1024}, size_t{2047}, size_t{2048},
                              size_t{5000}, size_t{100000}}) {
    const std::wstring argument(length, L'a');
    const std::wstring text = Format(L"%s|%d", argument.c_str(), 7);
    CHECK(text.size() == length + 2);
    CHECK(text == argument + L"|7");
  }
  CHECK(Format(L"%s, Wdir: %s", L"C:\\a b", L"") == L"C:\\a b, Wdir: ");
}

TEST_CASE("a log that cannot be written loses its lines and nothing else") {
  Sandbox box(L"log-unwritable");
  SUBCASE("file held by a program that denies sharing") {
    const std::wstring path = box.File(L"Vorn.log");
    {
      ScopedFileHandle holder(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      REQUIRE(holder);
      CLogToFile log(ToCString(path));
      log.WriteLine(L"lost", true);
    }
    CLogToFile log(ToCString(path));  // released: the next line goes through again
    log.WriteLine(L"after", true);
    std::string bytes;
    REQUIRE(ReadFileBytes(path, bytes));
    CHECK(bytes.find("lost") == std::string::npos);
    CHECK(bytes.find("after.\r\n") != std::string::npos);
  }
  SUBCASE("folder missing") {
    CLogToFile log(ToCString(box.File(L"no such folder\\Vorn.log")));
    log.WriteLine(L"lost", true);
    CHECK(::GetFileAttributesW(box.File(L"no such folder").c_str()) == INVALID_FILE_ATTRIBUTES);
  }
}

TEST_CASE("a writer that keeps the append lock costs one wait, not one per line") {
  Sandbox box(L"log-stuck-lock");
  const std::wstring path = box.File(L"Vorn.log");
  CLogToFile log(ToCString(path));
  // Another writer that keeps the lock the writers serialise on, far past any real end of the
  // file; the file's own bytes stay writable.
  ScopedFileHandle other(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  REQUIRE(other);
  OVERLAPPED farRegion = {};
  farRegion.OffsetHigh = 0x7FFFFFFF;
  REQUIRE(::LockFileEx(other.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                       MAXDWORD, 0, &farRegion));
  LogReader reader(path);
  constexpr int kLines = 5;
  const DWORD start = ::GetTickCount();
  for (int i = 0; i < kLines; ++i) log.WriteLine(ToCString(L"line " + std::to_wstring(i)), true);
  const DWORD spent = ::GetTickCount() - start;
  CHECK(spent >= 1900);  // the first line waited the 2 s for the lock
  CHECK(spent < 4000);   // no other line waited again
  std::vector<std::wstring> texts;
  for (const std::wstring& line : reader.NewLines()) {
    std::wstring text;
    REQUIRE(ParseStampedLine(line, text));
    texts.push_back(text);
  }
  CHECK(texts == std::vector<std::wstring>{L"line 0", L"line 1", L"line 2", L"line 3", L"line 4"});
}

TEST_CASE("four processes logging at once lose no line and split none") {
  Sandbox box(L"log-concurrent");
  const std::wstring path = box.File(L"Vorn.log");
  const std::wstring writer = BuildDirectory() + L"\\log_writer.exe";
  constexpr int kWriters = 4;
  constexpr int kLinesEach = 400;
  std::vector<ScopedHandle> processes;
  for (int w = 0; w < kWriters; ++w) {
    processes.emplace_back(StartProgram(writer, L"\"" + path + L"\" writer" + std::to_wstring(w) +
                                                    L" " + std::to_wstring(kLinesEach)));
  }
  for (ScopedHandle& process : processes) CHECK(WaitForExit(process.get(), 120000) == 0);

  std::map<std::wstring, std::vector<int>> seen;
  int headerLines = 0;
  for (const std::wstring& line : ReadLogLines(path)) {
    std::wstring body;
    if (line == L"." || (ParseStampedLine(line, body) &&
                         (body == std::wstring(63, L'*') || body == L"SW: Brantel.exe"))) {
      ++headerLines;
      continue;
    }
    REQUIRE_MESSAGE(ParseStampedLine(line, body), "broken line: ", ToUtf8(line));
    const size_t blank = body.find(L' ');
    REQUIRE(blank != std::wstring::npos);
    seen[body.substr(0, blank)].push_back(_wtoi(body.c_str() + blank + 1));
    CHECK(body.substr(body.rfind(L' ') + 1) == std::wstring(100, L'x'));
  }
  CHECK(headerLines == kWriters * 5);
  REQUIRE(seen.size() == kWriters);
  for (auto& writerLines : seen) {
    std::vector<int>& numbers = writerLines.second;
    CHECK(numbers.size() == kLinesEach);
    CHECK(std::is_sorted(numbers.begin(), numbers.end()));
  }
}
