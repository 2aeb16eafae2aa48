// Opening the link's address: through the shell, else through the command registered for
// ".htm" documents, never with more rights than the person at the screen; the link's parent is
// told of every attempt.
#pragma once

#include <windows.h>

#include "framework/cstring.h"

class CWnd;

// Posted to the link's parent after every attempt to open its address (wParam 0, lParam 0).
constexpr UINT WM_LINK_OPENED = 107;

// Size of the command buffer, terminator included, and of the registry value buffer.
constexpr size_t kCommandBufferChars = 520;
constexpr size_t kValueBufferChars = 260;

// What OpenLink returns when the page must not open with this process's rights (a system or
// service account) and cannot open as the session's signed-in user either: nothing was started,
// and the caller shows the address for the user to open (ReportAddress).
constexpr int kPageLeftToUser = -1;

// Opens url as the person at the screen would (ChoosePageOpener): with this process's rights
// where they are the user's own; through the desktop's shell where this process is elevated
// (opening it as today, after a log line, where no shell serves); as the session's signed-in user
// for a system or service account, else not at all (kPageLeftToUser, after a log line). The thread
// joins its apartment first, as the shell asks. Returns the result code (above 32: success) of
// the shell, or of the ".htm" document's command where the shell refused the address and one is
// registered; a failure of the desktop's shell as its error code where it has one (2 to 32), else
// as its HRESULT. Posts WM_LINK_OPENED to the link's parent before it returns, whatever the
// result.
int OpenLink(CWnd* link, const CString& url);

// Reads the default value of key (which it closes) into destination, which holds
// kValueBufferChars characters. Returns 0 when the value was read as text of at most 259
// characters, non-zero otherwise (destination is then left alone).
LONG ReadDefaultValue(HKEY key, wchar_t* destination);

// The command line for url from a registered command template: the template cut before its
// quoted placeholder ("%1" in quotes), else before a bare %1, then one blank and url. False when
// the result would not fit the command buffer.
bool BuildFallbackCommand(const CString& commandTemplate, const CString& url, CString& commandLine);

// The program at the head of a command line (in quotes, else up to the first blank) and the rest
// after the blanks that follow it.
void SplitCommandLine(const CString& commandLine, CString& program, CString& parameters);

// The message shown for a failed open: "Unable to open hyperlink:", an empty line, then the text
// for the shell's error code.
CString OpenErrorMessage(int code);

// Shows OpenErrorMessage(code) in a modal message box with the exclamation icon.
void ReportOpenError(int code);

// Shows url in a modal message box in front of the notice, for the user to open it, where the
// page was left to them (kPageLeftToUser). Its text can be copied (Ctrl+C).
void ReportAddress(const CString& url);
