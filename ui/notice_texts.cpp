#include "ui/notice_texts.h"

#include "ui/localized_strings.h"

std::wstring FillPlaceholder(std::wstring text, const std::wstring& value) {
  const size_t at = text.find(L"%s");
  if (at != std::wstring::npos) text.replace(at, 2, value);
  return text;
}

std::wstring NoticeUpperText(int language) {
  return GetRequirementText(language) + L"\n\n" +
         FillPlaceholder(GetClickButtonText(language), GetOkText(language));
}

std::wstring NoticeLowerText(int language) {
  return GetDownloadText(language) + L" " + GetInterruptionText(language);
}
