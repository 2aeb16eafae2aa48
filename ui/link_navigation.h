// Opening the link's address: through the shell, else through the command registered for
// ".htm" documents; the link's parent is told of every attempt.
#pragma once

#include <windows.h>

#include "framework/cstring.h"

class CWnd;

// Posted to the link's parent after every attempt to open its address (wParam 0, lParam 0).
constexpr UINT WM_LINK_OPENED = 107;

// Size of the command buffer, terminator included, and of the registry value buffer.
constexpr size_t kCommandBufferChars = 520;
constexpr size_t kValueBufferChars = 260;

// Opens url and returns the shell's result code (above 32: success), or the result of the
// fallback command when the shell refused and a ".htm" command is registered. Posts
// WM_LINK_OPENED to the link's parent before it returns, whatever the result.
int OpenLink(CWnd* link, const CString& url);

// Reads the default value of key (which it closes) into destination, which holds
// kValueBufferChars characters. Returns 0 when the value was read as text of at most 259
// characters, non-zero otherwise (destination is then left alone).
LONG ReadDefaultValue(HKEY key, wchar_t* destination);

// The command line for url from a registered command template: the template cut before its
// quoted placeholder ("%1" in quotes), else before a bare %1, then one blank and url. False when
// the result would not fit the command buffer.
bool BuildFallbackCommand(const CString& commandTemplate, const CString& url, CString& commandLine);

// The message shown for a failed open: "Unable to open hyperlink:", an empty line, then the text
// for the shell's error code.
CString OpenErrorMessage(int code);

// Shows OpenErrorMessage(code) in a modal message box with the exclamation icon.
void ReportOpenError(int code);
