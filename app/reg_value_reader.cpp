#include "app/reg_value_reader.h"

#include "framework/unique_handle.h"

namespace {

// The largest value ReadText accepts, in bytes; a text of 126 characters and its terminator fit.
constexpr DWORD kMaxTextBytes = 255;
// Selecting an existing key asks for reading only: the reader never writes, and a caller without
// administrative rights must still be able to select a machine-wide key.
constexpr REGSAM kSelectAccess = KEY_READ;

}  // namespace

CRegValueReader::CRegValueReader(HKEY root)
    : m_lLastStatus(ERROR_SUCCESS), m_hRoot(root), m_bDeferFlush(true) {}

CRegValueReader::~CRegValueReader() { Clear(); }

bool CRegValueReader::SelectKey(const CString& subKey, bool allowCreate) {
  if (subKey.empty()) {
    m_strKeyPath.clear();
    return true;
  }
  ScopedRegKey key;
  if (allowCreate) {
    DWORD disposition = 0;
    m_lLastStatus = ::RegCreateKeyExW(m_hRoot, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS, nullptr, key.receive(), &disposition);
  } else {
    m_lLastStatus = ::RegOpenKeyExW(m_hRoot, subKey.c_str(), 0, kSelectAccess, key.receive());
  }
  if (m_lLastStatus != ERROR_SUCCESS) return false;
  m_strKeyPath = subKey;
  if (!m_bDeferFlush) ::RegFlushKey(key.get());
  return true;
}

DWORD CRegValueReader::GetValueType(const CString& name) {
  ScopedRegKey key;
  m_lLastStatus = ::RegOpenKeyExW(m_hRoot, m_strKeyPath.c_str(), 0, KEY_QUERY_VALUE, key.receive());
  if (m_lLastStatus != ERROR_SUCCESS) return 0;
  DWORD type = 0;
  m_lLastStatus = ::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, nullptr);
  return m_lLastStatus == ERROR_SUCCESS ? type : 0;
}

CString CRegValueReader::ReadText(const CString& name, const CString& defaultText) {
  const DWORD type = GetValueType(name);
  if (type != REG_SZ && type != REG_EXPAND_SZ) return defaultText;
  ScopedRegKey key;
  m_lLastStatus = ::RegOpenKeyExW(m_hRoot, m_strKeyPath.c_str(), 0, KEY_READ, key.receive());
  if (m_lLastStatus != ERROR_SUCCESS) return defaultText;
  // One spare unit past the limit keeps the text terminated whatever the value holds.
  wchar_t buffer[kMaxTextBytes / sizeof(wchar_t) + 1] = {};
  DWORD size = kMaxTextBytes;
  m_lLastStatus = ::RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(buffer), &size);
  if (m_lLastStatus != ERROR_SUCCESS) return defaultText;
  const size_t units = size / sizeof(wchar_t);
  return CString(buffer, wcsnlen(buffer, units));
}

void CRegValueReader::Clear() {
  m_strKeyPath.clear();
  m_hRoot = HKEY_CURRENT_USER;
  m_bDeferFlush = true;
}
