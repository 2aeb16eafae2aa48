#include "log/log_to_file.h"

#include <windows.h>
#include <shlobj.h>
#include <winioctl.h>

#include <cwchar>
#include <ctime>
#include <memory>
#include <new>
#include <utility>

#include "framework/system_library.h"
#include "framework/unique_handle.h"

namespace {

constexpr wchar_t kLogFileName[] = L"\\Vorn.log";
constexpr wchar_t kTimeFormat[] = L"%d/%m/%Y %H:%M:%S --> ";
constexpr wchar_t kLineEnd[] = L".\n";
constexpr size_t kStampBufferChars = 128;
constexpr size_t kFirstFormatBufferChars = 1024;
// Ends the doubling for a format the runtime refuses for another reason than room; far above any
// line this program writes.
constexpr size_t kMaxFormatBufferChars = size_t{1} << 24;

// Writers of one log serialise on a byte-range lock far past any real end of the file. An
// append-only handle already makes each write atomic on local Windows disks; Wine and some network
// redirectors seek and write in two steps, so two processes could otherwise write at one offset.
constexpr DWORD kAppendLockOffsetLow = 0xFFFFFFFE;
constexpr DWORD kAppendLockOffsetHigh = 0x7FFFFFFF;
// A writer that holds the lock longer than this (a hung process) no longer keeps others waiting;
// they then write without it rather than hang or drop the line, and stop waiting for it.
constexpr DWORD kAppendLockWaitMs = 2000;
constexpr DWORD kAppendLockRetryMs = 1;

// Append access makes every write land at the end of the file; read-data access is what
// LockFileEx requires of a handle on Windows (Wine does not check it), without which the append
// lock below would fail on every line.
constexpr DWORD kLogAccess = FILE_APPEND_DATA | FILE_READ_DATA;

// Declared only for systems after the program's floor (Windows Vista on); looked up at run time.
using GetFileInformationByHandleExFn = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
constexpr int kFileStandardInfo = 1;
constexpr int kFileAttributeTagInfo = 9;
struct FileStandardInfo {
  LARGE_INTEGER allocationSize;
  LARGE_INTEGER endOfFile;
  DWORD numberOfLinks;
  BOOLEAN deletePending;
  BOOLEAN directory;
};
struct FileAttributeTagInfo {
  DWORD fileAttributes;
  DWORD reparseTag;
};

// A reparse point that leads to another named file: a symbolic link, a junction, a mount point. Its
// tag is a name surrogate's ("IsReparseTagNameSurrogate macro"). Other reparse points are the file
// itself, whose data a filter supplies: a cloud-files placeholder (a file in a synced Documents or
// Desktop folder), a deduplicated file.
bool LeadsElsewhere(DWORD attributes, DWORD tag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsReparseTagNameSurrogate(tag);
}

// Windows XP: the tag of the reparse point the handle was opened on (FILE_FLAG_OPEN_REPARSE_POINT),
// from its reparse data. A buffer that holds the data's fixed part gets that part, whatever else
// there is ("FSCTL_GET_REPARSE_POINT control code": STATUS_BUFFER_OVERFLOW, here ERROR_MORE_DATA).
// A tag that cannot be read counts as a name surrogate's.
DWORD ReparseTag(HANDLE file) {
  REPARSE_GUID_DATA_BUFFER data = {};
  DWORD size = 0;
  const bool read = ::DeviceIoControl(file, FSCTL_GET_REPARSE_POINT, nullptr, 0, &data,
                                      sizeof(data), &size, nullptr) ||
                    ::GetLastError() == ERROR_MORE_DATA;
  return read ? data.ReparseTag : IO_REPARSE_TAG_MOUNT_POINT;
}

// The log lives in a folder every user may write to, and runs are often elevated: a link planted
// there under the log's name must not lead our lines into a file its planter may not change. The
// log is opened without following a reparse point, and written only when it is a file with one name
// that leads nowhere else. From Windows Vista on, the file alone answers; Windows XP has only
// GetFileInformationByHandle, which also asks for the volume's serial number (under Wine a round
// trip to its mount manager, most of the time a log line took).
bool IsPlainFile(HANDLE file) {
  const auto query = GetLibraryFunction<GetFileInformationByHandleExFn>(
      ::GetModuleHandleW(L"kernel32.dll"), "GetFileInformationByHandleEx");
  if (query != nullptr) {
    FileStandardInfo standard = {};
    FileAttributeTagInfo tag = {};
    return query(file, kFileStandardInfo, &standard, sizeof(standard)) &&
           query(file, kFileAttributeTagInfo, &tag, sizeof(tag)) && standard.numberOfLinks == 1 &&
           !LeadsElsewhere(tag.fileAttributes, tag.reparseTag);
  }
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(file, &info)) return false;
  const bool reparse = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return info.nNumberOfLinks == 1 &&
         !LeadsElsewhere(info.dwFileAttributes, reparse ? ReparseTag(file) : 0);
}

}  // namespace

CString SharedLogFile() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS, nullptr, SHGFP_TYPE_CURRENT,
                                folder))) {
    folder[0] = L'\0';
  }
  return CString(folder) + kLogFileName;
}

namespace {

CString TimeStamp(const CString& format) {
  __time64_t now = _time64(nullptr);
  struct tm local = {};
  if (_localtime64_s(&local, &now) != 0) return CString();
  wchar_t stamp[kStampBufferChars];
  const size_t length = std::wcsftime(stamp, kStampBufferChars, format.c_str(), &local);
  if (length == 0) return CString();
  return CString(stamp, length);
}

class AppendLock {
 public:
  // Waits up to waitMs for the lock; 0 tries once.
  AppendLock(HANDLE file, DWORD waitMs) : file_(file) {
    region_.Offset = kAppendLockOffsetLow;
    region_.OffsetHigh = kAppendLockOffsetHigh;
    const DWORD start = ::GetTickCount();
    for (;;) {
      held_ = ::LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                           &region_) != FALSE;
      if (held_ || ::GetLastError() != ERROR_LOCK_VIOLATION) break;
      if (::GetTickCount() - start >= waitMs) break;
      ::Sleep(kAppendLockRetryMs);
    }
  }
  ~AppendLock() {
    if (held_) ::UnlockFileEx(file_, 0, 1, 0, &region_);
  }
  AppendLock(const AppendLock&) = delete;
  AppendLock& operator=(const AppendLock&) = delete;
  bool Held() const { return held_; }

 private:
  HANDLE file_;
  OVERLAPPED region_ = {};
  bool held_ = false;
};

}  // namespace

CString FormatLogText(const wchar_t* format, va_list args) {
  wchar_t first[kFirstFormatBufferChars] = {};
  std::unique_ptr<wchar_t[]> heap;
  wchar_t* buffer = first;
  size_t size = kFirstFormatBufferChars;
  for (;;) {
    va_list attempt;
    va_copy(attempt, args);
    const int count = _vsnwprintf(buffer, size, format, attempt);
    va_end(attempt);
    // A count equal to the size means the text filled the buffer without its terminator.
    if (count >= 0 && static_cast<size_t>(count) < size) {
      return CString(buffer, static_cast<size_t>(count));
    }
    const size_t next = size * 2;
    wchar_t* larger = next <= kMaxFormatBufferChars ? new (std::nothrow) wchar_t[next]() : nullptr;
    if (larger == nullptr) {
      // Out of room or memory: keep what the last attempt produced rather than lose the line.
      return CString(buffer, wcsnlen(buffer, size));
    }
    heap.reset(larger);
    buffer = larger;
    size = next;
  }
}

CArray<char> EncodeLogLine(const CString& line) {
  CString text;
  text.reserve(line.size() + 8);
  for (wchar_t c : line) {
    if (c == L'\n') text.push_back(L'\r');
    text.push_back(c);
  }
  if (text.empty()) return CArray<char>();
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                          nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return CArray<char>();
  CArray<char> encoded(static_cast<size_t>(bytes));
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), encoded.data(),
                        bytes, nullptr, nullptr);
  return encoded;
}

CLogToFile::CLogToFile(CString fileName) : CLogToFile(std::move(fileName), CString()) {}

CLogToFile::CLogToFile(CString fileName, CString fallbackName)
    : m_strFileName(std::move(fileName)),
      m_strFallbackName(std::move(fallbackName)),
      m_strTimeFormat(kTimeFormat) {
  if (m_strFileName.empty()) m_strFileName = std::exchange(m_strFallbackName, CString());
  WriteHeader();
}

CLogToFile::~CLogToFile() = default;

// One write: the header of a run is never split by another run's lines, and a log that cannot be
// written is known before any line of the run is lost.
void CLogToFile::WriteHeader() {
  const CString stamp = TimeStamp(m_strTimeFormat), stars(63, L'*');
  CString header = kLineEnd;
  header += kLineEnd;
  for (const CString& text : {stars, CString(L"SW: Brantel.exe"), stars}) {
    header += stamp;
    header += text;
    header += kLineEnd;
  }
  Append(header);
}

void CLogToFile::WriteLine(CString text, bool addLineEnd) {
  CString line = TimeStamp(m_strTimeFormat);
  line += text;
  if (addLineEnd) line += kLineEnd;
  Append(line);
}

void CLogToFile::WriteFormat(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  CString text = FormatLogText(format, args);
  va_end(args);
  WriteLine(std::move(text), true);
}

void CLogToFile::Append(const CString& line) {
  const CArray<char> bytes = EncodeLogLine(line);
  CSingleLock hold(m_lock);
  const DWORD error = AppendBytes(bytes);
  if (error == ERROR_SUCCESS || m_strFallbackName.empty()) return;
  const CString unwritable =
      std::exchange(m_strFileName, std::exchange(m_strFallbackName, CString()));
  AppendBytes(bytes);
  // The lock is the thread's own: it is taken again for this line.
  WriteFormat(L"Can't write log: %s, error: %d", unwritable.c_str(), static_cast<int>(error));
}

// Each line opens, appends and closes the file, so it has reached the system when this returns
// and nothing is held open between lines. Returns why the file could not be written (a file
// that is not plain: ERROR_CANT_ACCESS_FILE); the caller decides what becomes of the line.
DWORD CLogToFile::AppendBytes(const CArray<char>& bytes) {
  ScopedFileHandle file(
      ::CreateFileW(m_strFileName.c_str(), kLogAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return ::GetLastError();
  if (!IsPlainFile(file.get())) return ERROR_CANT_ACCESS_FILE;
  // Once the lock could not be had, later lines try it once and go on: a writer that keeps it
  // costs this run one wait, not one per line. A line that gets it again waits normally after.
  AppendLock serialised(file.get(), m_appendLockStuck ? 0 : kAppendLockWaitMs);
  m_appendLockStuck = !serialised.Held();
  DWORD written = 0;
  if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    return ::GetLastError();
  }
  return ERROR_SUCCESS;
}
