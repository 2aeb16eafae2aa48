// The notice's two texts, assembled from the localized texts of one language.
#pragma once

#include "framework/cstring.h"

// The text with its first "%s" replaced by value; the text itself is never used as a format.
CString FillPlaceholder(CString text, const CString& value);

// The requirement, an empty line, and the click-button sentence naming the OK label.
CString NoticeUpperText(int language);
// The download hint, one blank, and the interruption notice.
CString NoticeLowerText(int language);

// The name of the link's default action for screen readers, from the string table the notice's
// texts come from: English where they fall back to English.
CString NoticeLinkAction(int language);

// Whether the notice reads right to left: its texts come from a string table in a language written
// right to left (the table found for the requirement, the first text; a table holds all four
// texts or none). A language whose texts fall back to English reads left to right.
bool NoticeReadsRightToLeft(int language);

// Whether a mirrored static control needs TA_RTLREADING on its device context to read right to
// left. On Windows it does not: a child of a mirrored window reads right to left, the reading flags
// meaning their reverse there (SetProcessDefaultLayout's remarks), so setting one could only turn
// the order around. Wine's static control ignores both the mirrored order and WS_EX_RTLREADING and
// follows the device context's flag; Wine is told apart by ntdll's wine_get_version export, which
// no Windows ntdll has.
bool MirroredTextNeedsReadingOrder();
