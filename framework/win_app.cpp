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

namespace {

// Hides a visible top-level window of this thread that the main window owns (a tool-tip that is
// showing, say): hiding an owner leaves the windows it owns on the screen.
BOOL CALLBACK HideOwned(HWND window, LPARAM owner) {
  if (::IsWindowVisible(window) && ::GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner)) {
    ::ShowWindow(window, SW_HIDE);
  }
  return TRUE;
}

}  // namespace

void CWinApp::HideApplication() {
  if (m_pMainWnd != nullptr && m_pMainWnd->m_hWnd != nullptr) {
    ::EnumThreadWindows(::GetCurrentThreadId(), &HideOwned,
                        reinterpret_cast<LPARAM>(m_pMainWnd->m_hWnd));
    ::ShowWindow(m_pMainWnd->m_hWnd, SW_HIDE);
  }
}

CWinApp* AfxGetApp() { return g_app; }
