// The program's log: "Vorn.log" in the machine's shared documents folder, appended to by every run.
#pragma once

#include <windows.h>

#include <cstdarg>

#include "framework/carray.h"
#include "framework/cstring.h"
#include "framework/critical_section.h"

class CLogToFile {
 public:
  // Logs to the given file and writes the run's five-line header at once.
  explicit CLogToFile(CString fileName);
  // Logs to fileName (an empty one: to fallbackName). Where fileName cannot be written, that line
  // and every later one go to fallbackName instead, followed by one line that names fileName and
  // the error: no line is lost, and the header comes first there too.
  CLogToFile(CString fileName, CString fallbackName);
  virtual ~CLogToFile();
  CLogToFile(const CLogToFile&) = delete;
  CLogToFile& operator=(const CLogToFile&) = delete;

  // One line: local-time stamp, the text as given, then "." and a line end when addLineEnd is set.
  void WriteLine(CString text, bool addLineEnd);
  // Formats with the wide printf conventions ("%s" takes a wide string) and writes one line.
  // The format must be a fixed text; outside text is always an argument.
  void WriteFormat(const wchar_t* format, ...);

  const CString& FileName() const { return m_strFileName; }

 private:
  void WriteHeader();
  void Append(const CString& line);
  DWORD AppendBytes(const CArray<char>& bytes);

  CString m_strFileName;
  CString m_strFallbackName;
  CString m_strTimeFormat;
  CCriticalSection m_lock;
  // The last line found the other writers' lock held past the wait; guarded by m_lock.
  bool m_appendLockStuck = false;
};

// "<shared documents>\Vorn.log" ("\Vorn.log" when the folder cannot be determined): the log
// of every run that names no other.
CString SharedLogFile();

// The full text of a printf-style format, however long. Exposed for tests.
CString FormatLogText(const wchar_t* format, va_list args);

// A log line as it reaches the disk: UTF-8 without byte-order mark, each line feed written as
// carriage return and line feed. Exposed for tests.
CArray<char> EncodeLogLine(const CString& line);

// The one log of the program. Defined beside the application object, after it.
extern CLogToFile theLog;
