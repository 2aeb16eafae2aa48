#include "framework/apartment.h"

#include "framework/system_library.h"

namespace {

using CoInitializeExFn = HRESULT(WINAPI*)(void*, DWORD);
using CoDisconnectObjectFn = HRESULT(WINAPI*)(IUnknown*, DWORD);
using CoWaitForMultipleHandlesFn = HRESULT(WINAPI*)(DWORD, DWORD, ULONG, HANDLE*, DWORD*);
using CoCreateInstanceFn = HRESULT(WINAPI*)(REFCLSID, IUnknown*, DWORD, REFIID, void**);
using SysAllocStringFn = BSTR(WINAPI*)(const OLECHAR*);
using SysFreeStringFn = void(WINAPI*)(BSTR);

struct Apartment {
  DWORD thread;  // the thread that joined, 0 before
  CoDisconnectObjectFn disconnect;
  CoWaitForMultipleHandlesFn wait;
  CoCreateInstanceFn create;
};
Apartment g_apartment = {};

bool InApartment() {
  return g_apartment.thread != 0 && g_apartment.thread == ::GetCurrentThreadId();
}

}  // namespace

bool JoinApartment() {
  if (InApartment()) return true;
  if (g_apartment.thread != 0) return false;  // one thread serves the program's objects
  // Loaded once; freed by the process's end, never before (above).
  const HMODULE com = LoadSystemLibrary(L"ole32.dll").release();
  const auto initialize = GetLibraryFunction<CoInitializeExFn>(com, "CoInitializeEx");
  // ShellExecute's documentation: "COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE".
  if (initialize == nullptr ||
      FAILED(initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
    return false;
  }
  // All on every system from Windows 2000 on, as CoInitializeEx is.
  g_apartment = {::GetCurrentThreadId(),
                 GetLibraryFunction<CoDisconnectObjectFn>(com, "CoDisconnectObject"),
                 GetLibraryFunction<CoWaitForMultipleHandlesFn>(com, "CoWaitForMultipleHandles"),
                 GetLibraryFunction<CoCreateInstanceFn>(com, "CoCreateInstance")};
  return true;
}

HRESULT CreateLocalServerObject(REFCLSID server, REFIID iid, void** object) {
  *object = nullptr;
  if (!InApartment() || g_apartment.create == nullptr) return CO_E_NOTINITIALIZED;
  return g_apartment.create(server, nullptr, CLSCTX_LOCAL_SERVER, iid, object);
}

namespace {

struct Automation {
  SysAllocStringFn allocate;
  SysFreeStringFn free;
};

const Automation& LoadAutomation() {
  static Automation automation = {};
  static bool tried = false;
  if (tried) return automation;
  tried = true;
  // Loaded once; freed by the process's end, never before (above).
  const HMODULE library = LoadSystemLibrary(L"oleaut32.dll").release();
  automation = {GetLibraryFunction<SysAllocStringFn>(library, "SysAllocString"),
                GetLibraryFunction<SysFreeStringFn>(library, "SysFreeString")};
  return automation;
}

}  // namespace

BSTR AllocateText(const CString& text) {
  const Automation& automation = LoadAutomation();
  return automation.allocate != nullptr ? automation.allocate(text.c_str()) : nullptr;
}

void FreeText(BSTR text) {
  const Automation& automation = LoadAutomation();
  if (text != nullptr && automation.free != nullptr) automation.free(text);
}

void DisconnectClients(IUnknown* object) {
  if (InApartment() && g_apartment.disconnect != nullptr) g_apartment.disconnect(object, 0);
}

// A single-threaded apartment gets the calls of other processes as messages posted to a window of
// COM's own on the thread ("Single-Threaded Apartments": "each single-threaded apartment must have
// a message loop to handle calls from other processes and apartments"): a wait that handles only
// sent messages leaves a screen reader's call, or its final Release, hanging until the wait ends.
// CoWaitForMultipleHandles runs COM's modal loop in such an apartment ("CoWaitForMultipleHandles
// function"): it delivers those calls and the messages sent to the thread, and dispatches no other
// window message without COWAIT_DISPATCH_WINDOW_MESSAGES, so neither input nor anything posted
// reaches the thread's windows. A message sent during the wait may join the thread to its
// apartment (a screen reader's first request): from then on the wait goes on in COM's loop.
bool WaitAnswering(HANDLE handle, DWORD timeoutMs) {
  for (bool comWaits = true;;) {
    // Handles the messages sent to this thread's windows; posted messages and input stay queued.
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    if (comWaits && InApartment() && g_apartment.wait != nullptr) {
      DWORD index = 0;
      const HRESULT waited = g_apartment.wait(0, timeoutMs, 1, &handle, &index);
      if (waited == S_OK || waited == RPC_S_CALLPENDING) return waited == S_OK;
      comWaits = false;  // refused: the plain wait, for sent messages
    }
    const DWORD result = ::MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs, QS_SENDMESSAGE);
    if (result != WAIT_OBJECT_0 + 1) return result == WAIT_OBJECT_0;
  }
}
