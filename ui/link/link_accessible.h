// The link as screen readers see it, through Microsoft Active Accessibility: a link named by its
// text, focusable, linked and focused while it has the focus, whose default action opens it as
// Enter does. The accessibility and automation libraries are loaded on the first request of a
// client (WM_GETOBJECT), never before: a notice that no assistive technology reads pays nothing.
#pragma once

#include <windows.h>

#include <utility>

#include "framework/cstring.h"

class LinkAccessible;

// The link's accessible object, made on the first request and kept until Disconnect: every
// request gets the same object. Clients may hold it longer than the window lives; once
// disconnected it answers every call with "the object is no longer there", and the platform
// refuses the calls of other processes itself (they no longer reach this thread). A request after
// Disconnect gets no object of ours: the platform's own answer stands (below).
class CLinkAccessibility {
 public:
  // Posted to the link when a client performs its default action: the action runs from the link's
  // own message loop, never inside the client's call, which returns at once.
  static constexpr UINT kDoDefaultAction = WM_APP + 0x4C;

  CLinkAccessibility() = default;
  CLinkAccessibility(const CLinkAccessibility&) = delete;
  CLinkAccessibility& operator=(const CLinkAccessibility&) = delete;
  ~CLinkAccessibility() { Disconnect(); }

  // The answer to WM_GETOBJECT for the link's client area (OBJID_CLIENT); false for any other
  // object, once disconnected, or when the libraries cannot be loaded: the platform's own answer
  // then stands.
  bool Answer(HWND link, WPARAM flags, LPARAM objectId, LRESULT* result);
  // For good: the link is gone for clients, also for those that have not asked yet.
  void Disconnect();
  // The name of the default action, in the language of the link's window; by default English's,
  // as the platform names the action of a link.
  void SetActionName(CString name) { action_ = std::move(name); }

 private:
  LinkAccessible* object_ = nullptr;  // one reference, ours
  bool disconnected_ = false;
  CString action_ = L"Jump";
};
