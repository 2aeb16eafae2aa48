// The notice texts from the program's string tables, in a chosen language with English (United
// Kingdom) as the fallback.
#pragma once

#include <windows.h>

#include "framework/cstring.h"

// Size of the buffer LoadStringForLanguage writes: 4,095 units of text and a terminator.
constexpr size_t kLocalizedStringUnits = 4096;

// Copies text id in the given language from the module's string tables into destination (which
// holds kLocalizedStringUnits units), cut to 4,095 units and terminated. Looks in the language's
// block, else the English block, else the block the platform picks. Returns the number of units
// copied, or 0 when there is no text (destination untouched); an id of 1,048,560 or more also
// sets the last error to ERROR_RESOURCE_NAME_NOT_FOUND. The null module is the program itself.
int LoadStringForLanguage(HMODULE module, UINT id, wchar_t* destination, LANGID language);
int LoadStringForLanguage(UINT id, wchar_t* destination, LANGID language);

// Text id in the language, else in English, else the empty text.
CString GetLocalizedString(HMODULE module, UINT id, LANGID language);
CString GetLocalizedString(UINT id, LANGID language);

// The language of the string table GetLocalizedString takes text id from for the language: the
// id the table is stored under, which is not always the id asked for (the platform finds the
// table stored under 7 for 1031, and the user's language for a neutral id); 2057 when the text
// falls back to English; LANG_NEUTRAL when there is no text.
LANGID GetLocalizedStringLanguage(UINT id, LANGID language);

// Whether text in the language is written right to left (Arabic, Hebrew, Persian, Urdu, Syriac,
// Divehi), by its primary language.
bool IsRightToLeftLanguage(LANGID language);

// The notice texts. The click-button text holds one "%s" for the OK label.
CString GetOkText(int language);
CString GetRequirementText(int language);
CString GetClickButtonText(int language);
CString GetDownloadText(int language);
CString GetInterruptionText(int language);

// Every "s%" made "%s", left to right.
CString RepairPlaceholder(CString text);
