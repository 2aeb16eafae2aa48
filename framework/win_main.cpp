// The program's entry point: the framework layer runs the one application object.
#include "framework/win_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return static_cast<int>(ERROR_INVALID_FUNCTION);
  app->InitInstance();
  return app->ExitInstance();
}
