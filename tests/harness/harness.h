// What the end-to-end tests need to run Brantel.exe as an installer would, on a machine of their
// choosing, inside the test run's Wine prefix.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// The folder of the running test program, where the build also puts Brantel.exe and recorder.exe.
std::wstring BuildDirectory();

bool EndsWith(const std::wstring& text, const std::wstring& tail);

// The system user-interface language this test program runs under (Wine takes it from LC_ALL).
LANGID SystemUiLanguage();

// A fresh folder for one test case, with copies of the programs under test in it.
class Sandbox {
 public:
  // Creates C:\brantel-tests\<name>-<n>\; name may hold blanks and dots.
  explicit Sandbox(const std::wstring& name);

  const std::wstring& Path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

  // Copies Brantel.exe from the build under the given name; returns its full path.
  std::wstring InstallBrantel(const std::wstring& name = L"Brantel.exe") const;
  // Copies the recorder under the given name; it will exit with exitCode. builtRecorder names
  // another build of the recorder, one that carries a resource of its own.
  std::wstring InstallRecorder(const std::wstring& name, DWORD exitCode = 0,
                               const std::wstring& builtRecorder = L"recorder.exe") const;
  // Copies any program or library of the build under the given name; returns its full path.
  std::wstring InstallBuilt(const std::wstring& builtName, const std::wstring& name) const;
  void WriteBytes(const std::wstring& name, const std::string& bytes) const;

 private:
  std::wstring path_;
};

// What one recorder copy saw on each of its runs.
struct RecorderRun {
  std::wstring commandLine;
  std::wstring workDir;
  std::wstring module;
};
std::vector<RecorderRun> RecorderRuns(const std::wstring& recorderPath);

// Starts a program as an installer would (quoted path, arguments after it, working directory
// C:\) and waits for it; returns its whole 32-bit exit code. A program still running after
// timeoutMs fails the test and is ended.
DWORD RunAndWait(const std::wstring& exePath, const std::wstring& args, DWORD timeoutMs = 60000);

// Starts a program without waiting; the caller owns the returned process handle. processId, when
// given, receives the new process's id.
HANDLE StartProgram(const std::wstring& exePath, const std::wstring& args,
                    DWORD* processId = nullptr);
DWORD WaitForExit(HANDLE process, DWORD timeoutMs = 60000);

// The number of handles this process holds. Wine's GetProcessHandleCount always reports 0, so each
// handle value is asked about in turn; Wine hands out the lowest free value, so the first 2048
// values hold every handle a test program keeps.
DWORD CountOpenHandles();
// The same handles counted by the kind of object each refers to ("Process", "Thread", "Event",
// "File", "Key", ...), as the platform names it.
std::map<std::wstring, DWORD> CountOpenHandlesByKind();

// The machine's registry as the probes see it (the 32-bit view). Construction resets it to a
// machine that needs the browser: "Version" 7.0.6000.16386, no product keys of the maker.
class Machine {
 public:
  static constexpr const wchar_t* kBrowserKey = L"SOFTWARE\\Microsoft\\Internet Explorer";
  static constexpr const wchar_t* kMakerKey = L"SOFTWARE\\orvanix";

  Machine();
  void SetString(const std::wstring& key, const std::wstring& name, const std::wstring& value,
                 DWORD type = REG_SZ);
  void SetBinary(const std::wstring& key, const std::wstring& name, DWORD type,
                 const std::string& bytes);
  void SetDword(const std::wstring& key, const std::wstring& name, DWORD value);
  void DeleteValue(const std::wstring& key, const std::wstring& name);
  void SetBrowserVersion(const std::wstring& version) {
    SetString(kBrowserKey, L"Version", version);
  }
  // product is "Haldry", "Tirnavel" or "Osmundra".
  void SetEmbedded(const std::wstring& product, const std::wstring& value) {
    SetString(ProductKey(product), L"Xp_Embedded", value);
  }
  static std::wstring ProductKey(const std::wstring& product) {
    return std::wstring(kMakerKey) + L"\\" + product;
  }
};

// Gives a key a DACL from SDDL for the life of the object, then puts the old one back.
class KeySecurity {
 public:
  KeySecurity(const std::wstring& key, const wchar_t* sddl);
  ~KeySecurity();
  KeySecurity(const KeySecurity&) = delete;
  KeySecurity& operator=(const KeySecurity&) = delete;

 private:
  std::wstring key_;
  std::string saved_;
};

// Sets the default value of a classes key for the life of the object, then restores it.
class ClassCommand {
 public:
  ClassCommand(std::wstring key, const std::wstring& value);
  ~ClassCommand();
  ClassCommand(const ClassCommand&) = delete;
  ClassCommand& operator=(const ClassCommand&) = delete;

 private:
  std::wstring key_;
  std::wstring old_;
  bool had_ = false;
};

// "Vorn.log" in the shared documents folder.
std::wstring SharedLogPath();

// Every line of a log file, each with its CR LF removed; fails the test on a line without one.
std::vector<std::wstring> ReadLogLines(const std::wstring& path);

// The lines a log file gains after construction (read with every line end removed).
class LogReader {
 public:
  explicit LogReader(std::wstring path = SharedLogPath());
  std::vector<std::wstring> NewLines() const;
  // The messages of one run's section: checks the five-line header and the stamp and final "."
  // of every line, and returns the texts after the header.
  std::vector<std::wstring> RunMessages() const;

 private:
  std::wstring path_;
  size_t start_;
};

// Splits one stamped log line into its text; false when the stamp or the final "." is missing.
bool ParseStampedLine(const std::wstring& line, std::wstring& text);
// Checks a five-line run header at lines[first..first+4].
void CheckHeader(const std::vector<std::wstring>& lines, size_t first);
