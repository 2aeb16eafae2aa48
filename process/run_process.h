// Starts a program, optionally waits for it, and returns its exit code.
#pragma once

#include "framework/cstring.h"
#include "framework/unique_handle.h"

// Runs exePath with args (the command line is the quoted path, one blank, then args) in workDir
// (the caller's current directory when empty). With wait, returns once the program has ended.
// Returns the program's exit code, or the system error code when it could not be started.
// processHandle receives the new process's handle when it was started and is left alone otherwise.
// Every step is logged.
int RunProcess(CString exePath, CString args, CString workDir, bool wait,
               ScopedHandle& processHandle);

// The command line handed to the platform: the path in quotation marks, so that it can never be
// read as a shorter program path ending at a blank, then one blank and the arguments.
CString BuildCommandLine(const CString& exePath, const CString& args);
