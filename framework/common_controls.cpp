#include "framework/common_controls.h"

#include <commctrl.h>

#include "framework/system_library.h"

ScopedModule LoadCommonControls(DWORD classes) {
  // By name, not by full path: the program's manifest binds this name to the system's
  // side-by-side copy (version 6), while the path in the system folder is the older version 5.
  // The search path is narrowed at start-up, and a name the activation context resolves is never
  // looked for in the program's folder.
  ScopedModule library(::LoadLibraryW(L"comctl32.dll"));
  using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto initialize =
      GetLibraryFunction<InitCommonControlsExFn>(library, "InitCommonControlsEx");
  if (initialize == nullptr) return ScopedModule();
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof(controls);
  controls.dwICC = classes;
  initialize(&controls);
  return library;
}
