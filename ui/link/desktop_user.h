// The person at the screen, and how a page is opened with their rights rather than this
// process's: an installer runs elevated, or as the system account, and a browser started with
// those rights would hand them to whoever uses it.
#pragma once

#include <windows.h>

#include "framework/cstring.h"
#include "framework/unique_handle.h"

struct IShellDispatch2;  // <shldisp.h>, which also names a "Folder"

enum class PageOpener {
  kThisProcess,   // not elevated (Windows XP, UAC off, a setup run as the user): this process's
                  // rights are the user's own
  kDesktopShell,  // elevated by UAC: the desktop's shell opens it, unelevated, as its user
  kSessionUser,   // the system account or a service account: the session's signed-in user
};

// Who opens a page for this process, from its token: a system or service account
// (LocalSystem, LocalService, NetworkService), else an elevated token that has an unelevated one
// beside it (TokenElevationTypeFull), else this process. A token that cannot be read, and every
// system before Windows Vista, answer by the account alone.
PageOpener ChoosePageOpener();

// The application object of the desktop's shell, which starts programs as the desktop's user:
// the desktop window's view, found through IShellWindows (the shell's documented way for an
// elevated program to start one unelevated). None where no shell serves one (none running, a
// replaced shell), with the reason in why. The thread must have joined its apartment.
ScopedComPtr<IShellDispatch2> FindDesktopShell(HRESULT* why);

// The desktop's shell opens file (an address or a program) with parameters, in the shell's own
// process: S_OK, or its failure.
HRESULT ShellExecuteOnDesktop(IShellDispatch2* shell, const CString& file,
                              const CString& parameters);

// The primary token of the user signed in to this process's session (WTSQueryUserToken, which only
// the system account may call), unelevated; none, with the error in error, where it cannot be had.
ScopedHandle SessionUserToken(DWORD* error);

// Starts program (a full path) with commandLine as the user of token, with that user's
// environment, on the interactive desktop ("winsta0\default"), and lets it run: 0, or the error.
DWORD StartAsUser(HANDLE token, const CString& program, const CString& commandLine);
