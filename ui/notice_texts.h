// The notice's two texts, assembled from the localized texts of one language.
#pragma once

#include <string>

// The text with its first "%s" replaced by value; the text itself is never used as a format.
std::wstring FillPlaceholder(std::wstring text, const std::wstring& value);

// The requirement, an empty line, and the click-button sentence naming the OK label.
std::wstring NoticeUpperText(int language);
// The download hint, one blank, and the interruption notice.
std::wstring NoticeLowerText(int language);
