// The notice's two texts, assembled from the localized texts of one language.
#pragma once

#include "framework/cstring.h"

// The text with its first "%s" replaced by value; the text itself is never used as a format.
CString FillPlaceholder(CString text, const CString& value);

// The requirement, an empty line, and the click-button sentence naming the OK label.
CString NoticeUpperText(int language);
// The download hint, one blank, and the interruption notice.
CString NoticeLowerText(int language);
