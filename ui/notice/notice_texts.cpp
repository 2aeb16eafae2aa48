#include "ui/notice/notice_texts.h"

#include "framework/system_library.h"
#include "res/resource.h"
#include "ui/notice/localized_strings.h"

CString FillPlaceholder(CString text, const CString& value) {
  const size_t at = text.find(L"%s");
  if (at != CString::npos) text.replace(at, 2, value);
  return text;
}

CString NoticeUpperText(int language) {
  return GetRequirementText(language) + L"\n\n" +
         FillPlaceholder(GetClickButtonText(language), GetOkText(language));
}

CString NoticeLowerText(int language) {
  return GetDownloadText(language) + L" " + GetInterruptionText(language);
}

CString NoticeLinkAction(int language) {
  return GetLocalizedString(
      IDS_LINK_ACTION, GetLocalizedStringLanguage(IDS_IE8_REQUIRED, static_cast<LANGID>(language)));
}

bool NoticeReadsRightToLeft(int language) {
  return IsRightToLeftLanguage(
      GetLocalizedStringLanguage(IDS_IE8_REQUIRED, static_cast<LANGID>(language)));
}

bool MirroredTextNeedsReadingOrder() {
  using WineVersionFn = const char*(CDECL*)();
  return GetLibraryFunction<WineVersionFn>(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") !=
         nullptr;
}
