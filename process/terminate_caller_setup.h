// Ends the installer process that started this program.
#pragma once

#include <windows.h>

#include "framework/cstring.h"

// Ends one process whose executable file name is "setup.exe" (the whole name, in any case) and,
// when internalName is not empty, whose program file's "InternalName" equals internalName
// without regard to case: the nearest such ancestor of this program (the installer that started
// it, directly or through other programs), else the first such process in the platform's process
// list; never one of another Windows session. Ends at most one process, with exit code 1602
// (ERROR_INSTALL_USEREXIT: the user cancelled the installation). Returns false only when the
// termination call fails; true when nothing qualified, when the process could not be opened
// (ended meanwhile, or protected), and when it was ended.
bool TerminateCallerSetup(CString internalName);

// The full path, as the platform gives it, of the last module of the process whose path contains
// moduleName without regard to case; the empty text when none does or the process's modules
// cannot be listed (a process that has ended, a 64-bit process seen from this 32-bit one).
CString GetProcessModulePath(const CString& moduleName, DWORD processId);

// The "InternalName" of the program file at path, or the empty text when its version data
// cannot be read.
CString GetFileInternalName(const CString& path);
