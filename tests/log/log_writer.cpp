// Writes lines to one log from its own process, for tests of concurrent writers:
//   log_writer <log file> <tag> <count>
// writes the header, then <count> lines "<tag> <n> <padding>".
#include <windows.h>

#include <cwchar>
#include <string>

#include "log/log_to_file.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  CLogToFile log(argv[1]);
  const int count = _wtoi(argv[3]);
  const std::wstring padding(100, L'x');
  for (int n = 0; n < count; ++n) {
    log.WriteFormat(L"%s %d %s", argv[2], n, padding.c_str());
  }
  return 0;
}
