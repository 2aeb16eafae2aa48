// The thread's single-threaded COM apartment, joined only when something on the thread first needs
// COM (a screen reader's first request for the link), and the wait that keeps serving it.
#pragma once

#include <windows.h>
#include <unknwn.h>

// Joins the calling thread to a single-threaded apartment, as a server of objects to other
// processes must before it hands one out, loading the COM library from the system folder (kept
// until the process ends: the stubs of objects handed out run in it). True once the thread is in
// one; it stays there.
bool JoinApartment();

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
