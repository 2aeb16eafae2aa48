// The common controls library, loaded only by the windows that use its classes.
#pragma once

#include <windows.h>

#include "framework/unique_handle.h"

// Loads the common controls and registers the window classes named by classes (ICC_* flags).
// The classes stay registered while the returned module lives. Returns no module when the library
// or its entry point is missing; windows of those classes then cannot be created.
ScopedModule LoadCommonControls(DWORD classes);
