// The application object: one static instance per program, driven by the entry point.
#pragma once

#include <windows.h>

class CWnd;

class CWinApp {
 public:
  // Registers the object as the program's application and narrows the DLL search path before
  // any later static object or start-up code can cause a library to be loaded.
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Runs the program's start-up. This layer has no application message loop: whatever the
  // result, the entry point calls ExitInstance next and exits with its value.
  virtual BOOL InitInstance();
  // Returns the process exit code.
  virtual int ExitInstance();

  // Hides the main window and the windows it owns, as before a long operation that replaces the
  // program's own UI.
  void HideApplication();

  // The program's main window while it exists; cleared when that window is destroyed.
  CWnd* m_pMainWnd = nullptr;
};

// The one application object, or null before it is constructed.
CWinApp* AfxGetApp();
