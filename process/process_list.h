// The platform's list of processes, and what a walk through a process's ancestors asks of each.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include "framework/carray.h"

// Every process of a snapshot of the platform's list; none when it cannot be listed.
CArray<PROCESSENTRY32W> ListProcesses();

// The least right that reads a process's start time and image name: from Windows Vista on the
// limited query right, which even an elevated or protected process grants to a caller that is
// not; Windows XP knows only the full one.
DWORD QueryRight();

// When the process behind the handle started, or 0 when that cannot be asked.
ULONGLONG ProcessStartTime(HANDLE process);
