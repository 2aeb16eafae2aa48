// Mutual exclusion between the threads of one process.
#pragma once

#include <windows.h>

class CCriticalSection {
 public:
  CCriticalSection() { ::InitializeCriticalSection(&section_); }
  ~CCriticalSection() { ::DeleteCriticalSection(&section_); }
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Lock() { ::EnterCriticalSection(&section_); }
  void Unlock() { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

// Holds a CCriticalSection for one scope, released on every path out of it.
class CSingleLock {
 public:
  explicit CSingleLock(CCriticalSection& section) : section_(section) { section_.Lock(); }
  ~CSingleLock() { section_.Unlock(); }
  CSingleLock(const CSingleLock&) = delete;
  CSingleLock& operator=(const CSingleLock&) = delete;

 private:
  CCriticalSection& section_;
};
