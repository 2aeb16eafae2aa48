// Reads string values of one registry key at a time. Holds no key open between calls: every
// operation opens the selected key, does its work and closes it again.
#pragma once

#include <windows.h>

#include "framework/cstring.h"

class CRegValueReader {
 public:
  explicit CRegValueReader(HKEY root);
  ~CRegValueReader();
  CRegValueReader(const CRegValueReader&) = delete;
  CRegValueReader& operator=(const CRegValueReader&) = delete;

  // True when subKey is now the selected key. The empty path selects nothing and succeeds. A key
  // that cannot be opened (or created, with allowCreate) leaves the previous selection in place.
  bool SelectKey(const CString& subKey, bool allowCreate);
  // The registry type of the named value of the selected key, or 0 when it cannot be read.
  DWORD GetValueType(const CString& name);
  // The named value when it is a string (REG_SZ or REG_EXPAND_SZ, returned unexpanded) of at most
  // 255 bytes with its terminator; otherwise defaultText.
  CString ReadText(const CString& name, const CString& defaultText);
  void Clear();

  LONG LastStatus() const { return m_lLastStatus; }

 private:
  LONG m_lLastStatus;
  HKEY m_hRoot;
  bool m_bDeferFlush;
  CString m_strKeyPath;
};
