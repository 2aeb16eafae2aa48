#include "ui/notice/localized_strings.h"

#include <cwchar>

#include "res/resource.h"

namespace {

constexpr LANGID kEnglishUk = 2057;
constexpr UINT kEntriesPerBlock = 16;
constexpr UINT kOutOfRangeMask = 0xFFF00000;
constexpr size_t kMaxCopiedUnits = kLocalizedStringUnits - 1;
// Languages written right to left, by primary language.
constexpr WORD kRightToLeftLanguages[] = {LANG_ARABIC, LANG_HEBREW, LANG_FARSI,
                                          LANG_URDU,   LANG_SYRIAC, LANG_DIVEHI};

HRSRC FindBlock(HMODULE module, WORD block, LANGID language) {
  HRSRC found = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(block), language);
  if (found == nullptr && language != kEnglishUk) {
    found = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(block), kEnglishUk);
  }
  if (found == nullptr) found = ::FindResourceW(module, MAKEINTRESOURCEW(block), RT_STRING);
  return found;
}

struct StoredBlock {
  HRSRC found;
  LANGID language;
};

BOOL CALLBACK MatchStoredBlock(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language,
                               LONG_PTR context) {
  auto* stored = reinterpret_cast<StoredBlock*>(context);
  if (::FindResourceExW(module, type, name, language) != stored->found) return TRUE;
  stored->language = language;
  return FALSE;
}

// The language a found block is stored under. The platform's matching may take a block stored
// under another id than the one asked for (1031 finds 7; a neutral id finds the user's language),
// so the stored languages are compared with the block found, not with the request.
LANGID StoredLanguage(HMODULE module, WORD block, HRSRC found) {
  StoredBlock stored = {found, LANG_NEUTRAL};
  ::EnumResourceLanguagesW(module, RT_STRING, MAKEINTRESOURCEW(block), &MatchStoredBlock,
                           reinterpret_cast<LONG_PTR>(&stored));
  return stored.language;
}

// LoadStringForLanguage that also gives, when it copies a text, the language of the block it
// came from (tableLanguage may be null).
int LoadFromTable(HMODULE module, UINT id, wchar_t* destination, LANGID language,
                  LANGID* tableLanguage) {
  const UINT k = id + kEntriesPerBlock;
  if ((k & kOutOfRangeMask) != 0) {
    ::SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  const WORD block = static_cast<WORD>(k >> 4);
  const UINT entry = k % kEntriesPerBlock;

  const HRSRC found = FindBlock(module, block, language);
  if (found == nullptr) return 0;
  const HGLOBAL loaded = ::LoadResource(module, found);
  const auto* units = static_cast<const WCHAR*>(loaded ? ::LockResource(loaded) : nullptr);
  if (units == nullptr) return 0;

  // Each entry is a count and that many units. The walk stays inside the block even if a count
  // claims more than the block holds.
  const size_t total = ::SizeofResource(module, found) / sizeof(WCHAR);
  size_t at = 0;
  for (UINT skipped = 0; skipped < entry; ++skipped) {
    if (at >= total) return 0;
    at += 1 + units[at];
  }
  if (at >= total || units[at] == 0) return 0;
  size_t count = units[at];
  if (count > total - at - 1) count = total - at - 1;
  if (count > kMaxCopiedUnits) count = kMaxCopiedUnits;
  if (count == 0) return 0;
  wmemcpy(destination, units + at + 1, count);
  destination[count] = L'\0';
  if (tableLanguage != nullptr) *tableLanguage = StoredLanguage(module, block, found);
  return static_cast<int>(count);
}

// GetLocalizedString that also gives, when it finds a text, the language of the block it came
// from (tableLanguage may be null).
CString LoadLocalizedString(HMODULE module, UINT id, LANGID language, LANGID* tableLanguage) {
  CString buffer(kLocalizedStringUnits, L'\0');
  int count = LoadFromTable(module, id, buffer.data(), language, tableLanguage);
  if (count <= 0) count = LoadFromTable(module, id, buffer.data(), kEnglishUk, tableLanguage);
  return count > 0 ? CString(buffer.data(), static_cast<size_t>(count)) : CString();
}

}  // namespace

int LoadStringForLanguage(HMODULE module, UINT id, wchar_t* destination, LANGID language) {
  return LoadFromTable(module, id, destination, language, nullptr);
}

int LoadStringForLanguage(UINT id, wchar_t* destination, LANGID language) {
  return LoadStringForLanguage(nullptr, id, destination, language);
}

CString GetLocalizedString(HMODULE module, UINT id, LANGID language) {
  return LoadLocalizedString(module, id, language, nullptr);
}

CString GetLocalizedString(UINT id, LANGID language) {
  return GetLocalizedString(nullptr, id, language);
}

LANGID GetLocalizedStringLanguage(UINT id, LANGID language) {
  LANGID found = LANG_NEUTRAL;
  LoadLocalizedString(nullptr, id, language, &found);
  return found;
}

bool IsRightToLeftLanguage(LANGID language) {
  for (const WORD primary : kRightToLeftLanguages) {
    if (PRIMARYLANGID(language) == primary) return true;
  }
  return false;
}

CString RepairPlaceholder(CString text) {
  for (size_t at = text.find(L"s%"); at != CString::npos; at = text.find(L"s%", at + 2)) {
    text.replace(at, 2, L"%s");
  }
  return text;
}

CString GetOkText(int language) {
  return GetLocalizedString(IDS_OK, static_cast<LANGID>(language));
}

CString GetRequirementText(int language) {
  return GetLocalizedString(IDS_IE8_REQUIRED, static_cast<LANGID>(language));
}

CString GetClickButtonText(int language) {
  return RepairPlaceholder(GetLocalizedString(IDS_CLICK_BUTTON, static_cast<LANGID>(language)));
}

CString GetDownloadText(int language) {
  return GetLocalizedString(IDS_DOWNLOAD_HINT, static_cast<LANGID>(language));
}

CString GetInterruptionText(int language) {
  return GetLocalizedString(IDS_SETUP_INTERRUPTED, static_cast<LANGID>(language));
}
