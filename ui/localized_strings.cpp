#include "ui/localized_strings.h"

#include <cwchar>

#include "res/resource.h"

namespace {

constexpr LANGID kEnglishUk = 2057;
constexpr UINT kEntriesPerBlock = 16;
constexpr UINT kOutOfRangeMask = 0xFFF00000;
constexpr size_t kMaxCopiedUnits = kLocalizedStringUnits - 1;

HRSRC FindBlock(HMODULE module, WORD block, LANGID language) {
  HRSRC found = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(block), language);
  if (found == nullptr && language != kEnglishUk) {
    found = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(block), kEnglishUk);
  }
  if (found == nullptr) found = ::FindResourceW(module, MAKEINTRESOURCEW(block), RT_STRING);
  return found;
}

}  // namespace

int LoadStringForLanguage(HMODULE module, UINT id, wchar_t* destination, LANGID language) {
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
  return static_cast<int>(count);
}

int LoadStringForLanguage(UINT id, wchar_t* destination, LANGID language) {
  return LoadStringForLanguage(nullptr, id, destination, language);
}

CString GetLocalizedString(HMODULE module, UINT id, LANGID language) {
  CString buffer(kLocalizedStringUnits, L'\0');
  int count = LoadStringForLanguage(module, id, buffer.data(), language);
  if (count <= 0) count = LoadStringForLanguage(module, id, buffer.data(), kEnglishUk);
  return count > 0 ? CString(buffer.data(), static_cast<size_t>(count)) : CString();
}

CString GetLocalizedString(UINT id, LANGID language) {
  return GetLocalizedString(nullptr, id, language);
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
