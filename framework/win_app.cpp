#include "framework/win_app.h"

#include "framework/dll_search_path.h"
#include "framework/wnd.h"

namespace {

CWinApp* g_app = nullptr;

}  // namespace

CWinApp::CWinApp() {
  HardenDllSearchPath();
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

void CWinApp::HideApplication() {
  if (m_pMainWnd != nullptr && m_pMainWnd->m_hWnd != nullptr) {
    ::ShowWindow(m_pMainWnd->m_hWnd, SW_HIDE);
  }
}

CWinApp* AfxGetApp() { return g_app; }
