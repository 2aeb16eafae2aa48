#include "framework/win_app.h"

#include "framework/wnd.h"

namespace {

CWinApp* g_app = nullptr;

// Declared only for newer systems than the program's floor; looked up at run time.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryWFn = BOOL(WINAPI*)(LPCWSTR);

}  // namespace

void HardenDllSearchPath() {
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set_default != nullptr && set_default(kLoadLibrarySearchSystem32)) return;
  auto set_directory = reinterpret_cast<SetDllDirectoryWFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDllDirectoryW")));
  if (set_directory != nullptr) set_directory(L"");
}

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
