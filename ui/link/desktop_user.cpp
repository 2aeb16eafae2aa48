#include "ui/link/desktop_user.h"

#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlobj.h>

#include "framework/apartment.h"
#include "framework/system_library.h"

namespace {

using WtsQueryUserTokenFn = BOOL(WINAPI*)(ULONG, HANDLE*);
using CreateEnvironmentBlockFn = BOOL(WINAPI*)(void**, HANDLE, BOOL);
using DestroyEnvironmentBlockFn = BOOL(WINAPI*)(void*);

constexpr WELL_KNOWN_SID_TYPE kServiceAccounts[] = {WinLocalSystemSid, WinLocalServiceSid,
                                                    WinNetworkServiceSid};
// The interactive window station's desktop: without it, CreateProcessAsUser starts the program
// on a desktop nobody sees (its documentation).
constexpr wchar_t kInteractiveDesktop[] = L"winsta0\\default";

template <typename Interface>
void** Receive(ScopedComPtr<Interface>& object) {
  return reinterpret_cast<void**>(object.receive());
}

}  // namespace

PageOpener ChoosePageOpener() {
  ScopedHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.receive())) {
    return PageOpener::kThisProcess;
  }
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } owner = {};
  DWORD size = 0;
  if (::GetTokenInformation(token.get(), TokenUser, &owner, sizeof(owner), &size)) {
    for (const WELL_KNOWN_SID_TYPE account : kServiceAccounts) {
      if (::IsWellKnownSid(owner.user.User.Sid, account)) return PageOpener::kSessionUser;
    }
  }
  // Windows XP knows no elevation and fails the call. UAC off, a token is elevated without an
  // unelevated one beside it (TokenElevationTypeDefault), and the shell runs with it too.
  TOKEN_ELEVATION_TYPE elevation = TokenElevationTypeDefault;
  if (::GetTokenInformation(token.get(), TokenElevationType, &elevation, sizeof(elevation),
                            &size) &&
      elevation == TokenElevationTypeFull) {
    return PageOpener::kDesktopShell;
  }
  return PageOpener::kThisProcess;
}

// The desktop window (SWC_DESKTOP), its top-level browser, that browser's view, the view's
// background object and its application object ("How can I launch an unelevated process from my
// elevated process", the shell team's documented way).
ScopedComPtr<IShellDispatch2> FindDesktopShell(HRESULT* why) {
  ScopedComPtr<IShellWindows> windows;
  ScopedComPtr<IDispatch> desktop;
  ScopedComPtr<IServiceProvider> services;
  ScopedComPtr<IShellBrowser> browser;
  ScopedComPtr<IShellView> view;
  ScopedComPtr<IDispatch> background;
  ScopedComPtr<IShellFolderViewDual> folderView;
  ScopedComPtr<IDispatch> application;
  ScopedComPtr<IShellDispatch2> shell;
  VARIANT anywhere = {};  // VT_EMPTY
  long window = 0;
  HRESULT result = CreateLocalServerObject(CLSID_ShellWindows, IID_IShellWindows, Receive(windows));
  if (SUCCEEDED(result)) {
    result = windows.get()->FindWindowSW(&anywhere, &anywhere, SWC_DESKTOP, &window,
                                         SWFO_NEEDDISPATCH, desktop.receive());
  }
  if (result == S_FALSE || (SUCCEEDED(result) && !desktop)) {
    result = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);  // no desktop window serves one
  }
  if (SUCCEEDED(result))
    result = desktop.get()->QueryInterface(IID_IServiceProvider, Receive(services));
  if (SUCCEEDED(result)) {
    result =
        services.get()->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, Receive(browser));
  }
  if (SUCCEEDED(result)) result = browser.get()->QueryActiveShellView(view.receive());
  if (SUCCEEDED(result)) {
    result = view.get()->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, Receive(background));
  }
  if (SUCCEEDED(result)) {
    result = background.get()->QueryInterface(IID_IShellFolderViewDual, Receive(folderView));
  }
  if (SUCCEEDED(result)) result = folderView.get()->get_Application(application.receive());
  if (SUCCEEDED(result)) {
    result = application.get()->QueryInterface(IID_IShellDispatch2, Receive(shell));
  }
  *why = result;
  return shell;
}

HRESULT ShellExecuteOnDesktop(IShellDispatch2* shell, const CString& file,
                              const CString& parameters) {
  const ScopedText name(AllocateText(file));
  const ScopedText arguments(AllocateText(parameters));
  if (!name || !arguments) return E_OUTOFMEMORY;
  VARIANT argumentsVariant = {}, defaults = {}, show = {};
  argumentsVariant.vt = VT_BSTR;
  argumentsVariant.bstrVal = arguments.get();
  show.vt = VT_I4;
  show.lVal = SW_SHOW;
  // The folder and the verb left out: the shell's default verb, "open" for an address.
  return shell->ShellExecute(name.get(), argumentsVariant, defaults, defaults, show);
}

ScopedHandle SessionUserToken(DWORD* error) {
  ScopedHandle token;
  const ScopedModule sessions = LoadSystemLibrary(L"wtsapi32.dll");
  const auto query = GetLibraryFunction<WtsQueryUserTokenFn>(sessions, "WTSQueryUserToken");
  DWORD session = 0;
  if (query == nullptr) {
    *error = ERROR_PROC_NOT_FOUND;
  } else if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &session) ||
             !query(session, token.receive())) {
    *error = ::GetLastError();
  }
  return token;
}

// The user's own environment (profile, temporary folder), not the system account's; the program's
// folder as the current one, which the user can read where the installer's may not be.
DWORD StartAsUser(HANDLE token, const CString& program, const CString& commandLine) {
  const ScopedModule profiles = LoadSystemLibrary(L"userenv.dll");
  const auto create =
      GetLibraryFunction<CreateEnvironmentBlockFn>(profiles, "CreateEnvironmentBlock");
  const auto destroy =
      GetLibraryFunction<DestroyEnvironmentBlockFn>(profiles, "DestroyEnvironmentBlock");
  if (create == nullptr || destroy == nullptr) return ERROR_PROC_NOT_FOUND;
  void* environment = nullptr;
  if (!create(&environment, token, FALSE)) return ::GetLastError();
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  CString desktop = kInteractiveDesktop;
  startup.lpDesktop = desktop.data();
  PROCESS_INFORMATION info = {};
  CString writable = commandLine;  // the platform may write into it
  const CString folder = program.substr(0, program.rfind(L'\\') + 1);
  const BOOL started = ::CreateProcessAsUserW(
      token, program.c_str(), writable.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
      environment, folder.empty() ? nullptr : folder.c_str(), &startup, &info);
  const DWORD error = started ? ERROR_SUCCESS : ::GetLastError();
  destroy(environment);
  if (!started) return error;
  ScopedHandle(info.hThread).reset();
  ScopedHandle(info.hProcess).reset();
  return ERROR_SUCCESS;
}
