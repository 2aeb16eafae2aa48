// The thread's single-threaded COM apartment, joined only when something on the thread first needs
// COM (a screen reader's first request for the link), and the wait that keeps serving it.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <unknwn.h>

#include "framework/cstring.h"
#include "framework/unique_handle.h"

// Joins the calling thread to a single-threaded apartment without OLE 1.0's DDE, as a server of
// objects to other processes must before it hands one out and as the shell asks of a thread
// before any call that may execute something, loading the COM library from the system folder (kept
// until the process ends: the stubs of objects handed out run in it). True once the thread is in
// one; it stays there.
bool JoinApartment();

// An object of class served by another process (CLSCTX_LOCAL_SERVER), through the interface iid;
// CO_E_NOTINITIALIZED where the thread has joined no apartment.
HRESULT CreateLocalServerObject(REFCLSID server, REFIID iid, void** object);

// A text for COM calls that marshal their texts by length (BSTR), from the automation library,
// loaded from the system folder once and kept (the proxies that marshal such texts run in it);
// null where it cannot be made. FreeText frees one, null too.
BSTR AllocateText(const CString& text);
void FreeText(BSTR text);
struct TextTraits {
  using Handle = BSTR;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle text) noexcept { FreeText(text); }
};
using ScopedText = UniqueHandle<TextTraits>;

// Ends every connection of other processes to object (CoDisconnectObject): their calls are
// refused as disconnected and the stubs' references are released. Nothing where the thread never
// joined its apartment.
void DisconnectClients(IUnknown* object);

// Waits until handle is signalled, or for up to timeoutMs after the last message it answered,
// answering meanwhile what other threads and processes send to this thread: messages sent to its
// windows (a program that broadcasts with SendMessage waits for every top-level window) and, in
// the apartment JoinApartment joined (before the wait or during it), the calls COM delivers to it.
// Input and the thread's other posted messages stay queued. True when handle was signalled.
bool WaitAnswering(HANDLE handle, DWORD timeoutMs);
