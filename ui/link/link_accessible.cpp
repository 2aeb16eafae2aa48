#include "ui/link/link_accessible.h"

#include <oleacc.h>

#include "framework/apartment.h"
#include "framework/cstring.h"
#include "framework/system_library.h"

namespace {

using LogicalToPhysicalFn = BOOL(WINAPI*)(HWND, POINT*);
using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
using AccessibleObjectFromWindowFn = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);

// The accessibility library, loaded from the system folder on the first request and kept until
// the process ends: the marshalling stubs of every object handed out run in it (and in the
// automation library, which allocates the texts: AllocateText), and a client may release its
// object at any time. The thread joins its single-threaded apartment first (its calls then arrive
// through the thread's message loop, and through the wait for the installer).
struct Libraries {
  LresultFromObjectFn lresultFromObject;
  AccessibleObjectFromWindowFn objectFromWindow;
};

const Libraries* LoadLibraries() {
  static Libraries libraries = {};
  static bool tried = false;
  if (tried) return libraries.lresultFromObject != nullptr ? &libraries : nullptr;
  tried = true;
  if (!JoinApartment()) return nullptr;
  // Loaded once; freed by the process's end, never before (above).
  const HMODULE accessibility = LoadSystemLibrary(L"oleacc.dll").release();
  libraries.objectFromWindow =
      GetLibraryFunction<AccessibleObjectFromWindowFn>(accessibility, "AccessibleObjectFromWindow");
  if (libraries.objectFromWindow == nullptr) return nullptr;
  libraries.lresultFromObject =
      GetLibraryFunction<LresultFromObjectFn>(accessibility, "LresultFromObject");
  return libraries.lresultFromObject != nullptr ? &libraries : nullptr;
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

void SetLong(VARIANT* variant, LONG value) {
  variant->vt = VT_I4;
  variant->lVal = value;
}

// The physical length of a span of length pixels whose first and last pixels lie firstToLast
// apart once converted: the far edge follows at the same scale.
LONG PhysicalLength(LONG length, LONG firstToLast) {
  return length > 1 ? ::MulDiv(firstToLast, length, length - 1) : length;
}

// The window's box in physical screen coordinates, which accLocation and accHitTest speak. From
// Windows 8.1 on monitors may differ in scale, and a program aware of the system's scale only
// (this one before Windows 10 1703) sees the others' coordinates scaled to it: the conversion
// gives the physical ones (it changes nothing where the program sees physical coordinates).
// Before Windows 8.1 there is no such function and a program aware of the scale sees physical
// coordinates itself. The conversion takes points inside the window ("LogicalToPhysicalPoint
// function": "The coordinates have to be inside the client area of hWnd"; the link has no
// border): its first and its last pixel, never the exclusive corner past them.
bool PhysicalBox(HWND window, RECT* box) {
  if (!::GetWindowRect(window, box)) return false;
  const auto convert = GetLibraryFunction<LogicalToPhysicalFn>(
      ::GetModuleHandleW(L"user32.dll"), "LogicalToPhysicalPointForPerMonitorDPI");
  if (convert == nullptr) return true;
  POINT corners[2] = {{box->left, box->top}, {box->right - 1, box->bottom - 1}};
  if (!convert(window, &corners[0]) || !convert(window, &corners[1])) return true;
  *box = RECT{corners[0].x, corners[0].y,
              corners[0].x + PhysicalLength(box->right - box->left, corners[1].x - corners[0].x),
              corners[0].y + PhysicalLength(box->bottom - box->top, corners[1].y - corners[0].y)};
  return true;
}

}  // namespace

// The link's client object. Its own: no children; the parent is the link's window object, which
// the platform serves.
class LinkAccessible final : public IAccessible {
 public:
  LinkAccessible(HWND link, const Libraries* libraries, const CString* action)
      : link_(link), libraries_(libraries), action_(action) {}
  void Disconnect() { link_ = nullptr; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (id != IID_IUnknown && id != IID_IDispatch && id != IID_IAccessible) return E_NOINTERFACE;
    *object = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch: no type information; clients call the interface itself.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (parent == nullptr) return E_POINTER;
    *parent = nullptr;
    if (!Connected()) return RPC_E_DISCONNECTED;
    return libraries_->objectFromWindow(link_, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                        reinterpret_cast<void**>(parent));
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return Connected() ? S_OK : RPC_E_DISCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override {
    if (child == nullptr) return E_POINTER;
    *child = nullptr;
    return Connected() ? E_INVALIDARG : RPC_E_DISCONNECTED;
  }
  // The name is the link's text; so is its value, the address it opens.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return Text(child, name, nullptr);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return Text(child, value, nullptr);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return None(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    const HRESULT checked = Check(child, role);
    if (checked == S_OK) SetLong(role, ROLE_SYSTEM_LINK);
    return checked;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT checked = Check(child, state);
    if (checked != S_OK) return checked;
    LONG flags = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED;
    if (::GetFocus() == link_) flags |= STATE_SYSTEM_FOCUSED;
    if (!::IsWindowVisible(link_)) flags |= STATE_SYSTEM_INVISIBLE;
    SetLong(state, flags);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override {
    return None(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    if (topic != nullptr) *topic = -1;
    return None(child, file);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override {
    return None(child, text);
  }
  // Nothing has the focus (VT_EMPTY) while the link does not; S_FALSE while its notice is not the
  // foreground window, whose thread's focus then is not the keyboard's.
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    const HRESULT checked = Check(SelfId(), focus);
    if (checked != S_OK) return checked;
    if (!InForeground()) return S_FALSE;
    if (::GetFocus() == link_) SetLong(focus, CHILDID_SELF);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    const HRESULT checked = Check(SelfId(), selection);
    if (checked == S_OK) selection->vt = VT_EMPTY;
    return checked == S_OK ? S_FALSE : checked;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return Text(child, action, action_->c_str());
  }
  // The link takes the focus as Tab gives it: through the dialog manager, which also sets the
  // default button's look as for Tab (SetFocus alone would not). It cannot be selected, so any
  // selection flag is an invalid argument. S_OK only where keystrokes now reach the link: it has
  // the thread's focus and its notice is the foreground window, as get_accFocus reports it (the
  // flag "takes effect only if the object's parent already has the focus": "SELFLAG Constants");
  // S_FALSE, "the specified object is not selected" ("IAccessible::accSelect method"), otherwise.
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    if (!Connected()) return RPC_E_DISCONNECTED;
    if (!IsSelf(child) || (flags & ~SELFLAG_TAKEFOCUS) != 0) return E_INVALIDARG;
    if (flags == SELFLAG_NONE) return S_OK;
    ::SendMessageW(::GetParent(link_), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(link_), TRUE);
    return InForeground() && ::GetFocus() == link_ ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr)
      return E_POINTER;
    if (!Connected()) return RPC_E_DISCONNECTED;
    RECT box;
    if (!IsSelf(child)) return E_INVALIDARG;
    if (!PhysicalBox(link_, &box)) return E_FAIL;
    *left = box.left;
    *top = box.top;
    *width = box.right - box.left;
    *height = box.bottom - box.top;
    return S_OK;
  }
  // Siblings are reached through the parent, the window object; the link has no children.
  HRESULT STDMETHODCALLTYPE accNavigate(LONG, VARIANT start, VARIANT* end) override {
    const HRESULT checked = Check(start, end);
    if (checked == S_OK) end->vt = VT_EMPTY;
    return checked == S_OK ? S_FALSE : checked;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
    const HRESULT checked = Check(SelfId(), hit);
    if (checked != S_OK) return checked;
    RECT box;
    const POINT point = {x, y};
    if (!PhysicalBox(link_, &box) || !::PtInRect(&box, point)) return hit->vt = VT_EMPTY, S_FALSE;
    SetLong(hit, CHILDID_SELF);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!Connected()) return RPC_E_DISCONNECTED;
    if (!IsSelf(child)) return E_INVALIDARG;
    return ::PostMessageW(link_, CLinkAccessibility::kDoDefaultAction, 0, 0) ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }

 private:
  ~LinkAccessible() = default;

  static VARIANT SelfId() {
    VARIANT self = {};
    SetLong(&self, CHILDID_SELF);
    return self;
  }
  bool Connected() const { return link_ != nullptr && ::IsWindow(link_); }
  // The link's notice is the window in front, whose thread's focus is the keyboard's.
  bool InForeground() const { return ::GetForegroundWindow() == ::GetParent(link_); }
  // S_OK for a call about the link itself with somewhere to answer; what to return otherwise.
  HRESULT Check(const VARIANT& child, VARIANT* answer) const {
    if (answer == nullptr) return E_POINTER;
    answer->vt = VT_EMPTY;
    if (!Connected()) return RPC_E_DISCONNECTED;
    return IsSelf(child) ? S_OK : E_INVALIDARG;
  }
  // A text of the link: fixed, or its window text when fixed is null.
  HRESULT Text(const VARIANT& child, BSTR* text, const wchar_t* fixed) const {
    if (text == nullptr) return E_POINTER;
    *text = nullptr;
    if (!Connected()) return RPC_E_DISCONNECTED;
    if (!IsSelf(child)) return E_INVALIDARG;
    CString own;
    if (fixed == nullptr) {
      own.resize(static_cast<size_t>(::GetWindowTextLengthW(link_)) + 1);
      own.resize(
          static_cast<size_t>(::GetWindowTextW(link_, &own[0], static_cast<int>(own.size()))));
    }
    *text = AllocateText(fixed != nullptr ? CString(fixed) : own);
    return *text != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT None(const VARIANT& child, BSTR* text) const {
    if (text == nullptr) return E_POINTER;
    *text = nullptr;
    if (!Connected()) return RPC_E_DISCONNECTED;
    return IsSelf(child) ? S_FALSE : E_INVALIDARG;
  }

  HWND link_;
  const Libraries* libraries_;
  const CString* action_;  // the owner's, which disconnects this object before it goes
  ULONG references_ = 1;
};

// Once disconnected (OK pressed: the installer runs while this thread waits), a client that first
// asks now must not get a new object: handing one out would join the thread to its apartment in
// the middle of the wait, whose calls then arrive by COM's posted messages. Unanswered, the request
// goes to DefWindowProc, which returns zero, and the client gets the system's proxy of the window
// ("How WM_GETOBJECT Works"), which reads it through messages sent to it, which the wait answers.
bool CLinkAccessibility::Answer(HWND link, WPARAM flags, LPARAM objectId, LRESULT* result) {
  // Compared as a DWORD: a 64-bit lParam may carry the id sign-extended (WM_GETOBJECT).
  if (disconnected_ || static_cast<DWORD>(objectId) != static_cast<DWORD>(OBJID_CLIENT)) {
    return false;
  }
  const Libraries* libraries = LoadLibraries();
  if (libraries == nullptr) return false;
  if (object_ == nullptr) object_ = new LinkAccessible(link, libraries, &action_);
  *result = libraries->lresultFromObject(IID_IAccessible, flags, object_);
  return true;
}

void CLinkAccessibility::Disconnect() {
  disconnected_ = true;
  if (object_ == nullptr) return;
  object_->Disconnect();
  DisconnectClients(object_);
  object_->Release();
  object_ = nullptr;
}
