#include "adverts/web_browser_ctrl_win.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <mshtmhst.h>
#include <mshtml.h>
#include <ole2.h>
#include <olectl.h>

#include "feed/feed_text.h"
#include "framework/window_win.h"
#include "framework/wstr_win.h"
#include "platform/log.h"
#include "platform/text.h"

namespace adverts {
namespace {

// Pages run silently; no ActiveX control is downloaded or run, no Java, no behaviours.
constexpr LONG kDownloadControl = DLCTL_SILENT | DLCTL_DLIMAGES | DLCTL_NO_DLACTIVEXCTLS | DLCTL_NO_RUNACTIVEXCTLS |
                                  DLCTL_NO_JAVA | DLCTL_NO_BEHAVIORS;

// An event argument as text, whether passed by value or by reference.
std::u16string TextArg(const VARIANT& arg) {
  const VARIANT* v = &arg;
  if (V_VT(v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
  if (V_VT(v) == VT_BSTR && V_BSTR(v)) return to_u16(V_BSTR(v));
  if (V_VT(v) == (VT_BSTR | VT_BYREF) && V_BSTRREF(v) && *V_BSTRREF(v)) return to_u16(*V_BSTRREF(v));
  return std::u16string();
}

long LongArg(const VARIANT& arg) {
  const VARIANT* v = &arg;
  if (V_VT(v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
  if (V_VT(v) == VT_I4) return V_I4(v);
  if (V_VT(v) == (VT_I4 | VT_BYREF) && V_I4REF(v)) return *V_I4REF(v);
  return 0;
}

bool BoolArg(const VARIANT& arg) {
  const VARIANT* v = &arg;
  if (V_VT(v) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
  if (V_VT(v) == VT_BOOL) return V_BOOL(v) != VARIANT_FALSE;
  if (V_VT(v) == (VT_BOOL | VT_BYREF) && V_BOOLREF(v)) return *V_BOOLREF(v) != VARIANT_FALSE;
  return false;
}

void SetCancel(VARIANT& arg, bool cancel) {
  if (V_VT(&arg) == (VT_BOOL | VT_BYREF) && V_BOOLREF(&arg)) *V_BOOLREF(&arg) = cancel ? VARIANT_TRUE : VARIANT_FALSE;
}

bool SameObject(IUnknown* a, IUnknown* b) {
  if (!a || !b) return false;
  IUnknown* ua = nullptr;
  IUnknown* ub = nullptr;
  a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ua));
  b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ub));
  const bool same = ua && ua == ub;
  if (ua) ua->Release();
  if (ub) ub->Release();
  return same;
}

bool IsWebAddress(const std::u16string& url) { return !feed::OpenableAddress(u"", url).empty(); }

template <typename T>
void ReleaseAndClear(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

// IDispatch without type information, as event sinks and ambient-property sites need it.
template <typename Interface>
class NoTypeInfo : public Interface {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** t) override {
    if (t) *t = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
};

}  // namespace

// The container's side of the control: client site, in-place site and frame, the host's
// UI handler and the ambient properties.
class CWebBrowserCtrl::Site : public IOleClientSite,
                              public IOleInPlaceSite,
                              public IOleInPlaceFrame,
                              public IDocHostUIHandler,
                              public NoTypeInfo<IDispatch> {
 public:
  explicit Site(HWND host) : host_(host) {}

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IDocHostUIHandler) *out = static_cast<IDocHostUIHandler*>(this);
    else if (iid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** m) override {
    if (m) *m = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** c) override {
    if (c) *c = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (of the in-place site and the frame)
  STDMETHODIMP GetWindow(HWND* w) override {
    if (!w) return E_POINTER;
    *w = host_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
    if (frame) {
      *frame = static_cast<IOleInPlaceFrame*>(this);
      AddRef();
    }
    if (doc) *doc = nullptr;
    RECT rc{};
    GetClientRect(host_, &rc);
    if (pos) *pos = rc;
    if (clip) *clip = rc;
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = host_;
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow, IOleInPlaceFrame
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDocHostUIHandler
  STDMETHODIMP ShowContextMenu(DWORD id, POINT*, IUnknown*, IDispatch*) override {
    // Only input fields keep their menu (copy and paste); pages get none.
    return id == CONTEXT_MENU_CONTROL ? S_FALSE : S_OK;
  }
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override {
    if (!info) return E_POINTER;
    info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_DISABLE_HELP_MENU |
                    DOCHOSTUIFLAG_DIALOG;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
  }
  STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                      IOleInPlaceUIWindow*) override {
    return S_OK;
  }
  STDMETHODIMP HideUI() override { return S_OK; }
  STDMETHODIMP UpdateUI() override { return S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
  STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD) override {
    if (key) *key = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget** target) override {
    if (target) *target = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetExternal(IDispatch** external) override {
    if (external) *external = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override {
    if (out) *out = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP FilterDataObject(IDataObject*, IDataObject** out) override {
    if (out) *out = nullptr;
    return S_FALSE;
  }

  // IDispatch: the ambient properties the control asks its site for.
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id != DISPID_AMBIENT_DLCONTROL || !result) return DISP_E_MEMBERNOTFOUND;
    VariantInit(result);
    V_VT(result) = VT_I4;
    V_I4(result) = kDownloadControl;
    return S_OK;
  }

 private:
  virtual ~Site() = default;
  HWND host_;
  ULONG refs_ = 1;
};

// The sink of the browser's DWebBrowserEvents2; forwards to its owner until detached.
class CWebBrowserCtrl::Events : public NoTypeInfo<IDispatch> {
 public:
  explicit Events(CWebBrowserCtrl* owner) : owner_(owner) {}
  void Detach() { owner_ = nullptr; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != DIID_DWebBrowserEvents2) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    if (!params) return S_OK;
    // Arguments arrive last first: rgvarg[0] is the event's last parameter.
    VARIANT* args = params->rgvarg;
    const UINT n = params->cArgs;
    switch (id) {
      case DISPID_BEFORENAVIGATE2:  // (frame, URL, flags, target, post data, headers, cancel)
        if (n >= 7 && !IsWebAddress(TextArg(args[5]))) {
          LogDebug("web page: cancelled navigation to %s", platform::ToAnsi(TextArg(args[5])).c_str());
          SetCancel(args[0], true);
        }
        break;
      case DISPID_NEWWINDOW2:  // (window, cancel): no new windows
        if (n >= 2) SetCancel(args[0], true);
        break;
      case DISPID_NEWWINDOW3:  // (window, cancel, flags, context URL, URL): the user's browser instead
        if (n >= 5) {
          SetCancel(args[3], true);
          if (owner_ && owner_->newWindow_) owner_->newWindow_(TextArg(args[0]));
        }
        break;
      case DISPID_FILEDOWNLOAD:  // (active document, cancel): pages only, no downloads
        if (n >= 2 && !BoolArg(args[1])) SetCancel(args[0], true);
        break;
      case DISPID_DOCUMENTCOMPLETE:  // (frame, URL)
        if (owner_ && n >= 2) owner_->OnDocumentComplete(V_VT(&args[1]) == VT_DISPATCH ? V_DISPATCH(&args[1]) : nullptr,
                                                         TextArg(args[0]));
        break;
      case DISPID_DOWNLOADBEGIN:
        if (owner_ && owner_->receiver_) owner_->receiver_->OnDownloadBegin();
        break;
      case DISPID_DOWNLOADCOMPLETE:
        if (owner_ && owner_->receiver_) owner_->receiver_->OnDownloadComplete();
        break;
      case DISPID_NAVIGATEERROR:  // (frame, URL, target frame, status, cancel)
        if (owner_ && n >= 5) {
          long status = LongArg(args[1]);
          owner_->navigateError_ = status != 0 ? status : -1;
          bool cancel = false;
          if (owner_->receiver_) owner_->receiver_->OnNavigateError(TextArg(args[3]), status, &cancel);
          SetCancel(args[0], cancel);
        }
        break;
      default: break;
    }
    return S_OK;
  }

 private:
  virtual ~Events() = default;
  CWebBrowserCtrl* owner_;
  ULONG refs_ = 1;
};

CWebBrowserCtrl::CWebBrowserCtrl() = default;

CWebBrowserCtrl::~CWebBrowserCtrl() { Close(); }

// The child window the control lives in; it does nothing of its own.
class CWebBrowserCtrl::HostWindow : public fw::WindowBase {
 public:
  BEGIN_MSG_MAP(HostWindow)
  END_MSG_MAP()
};

int CWebBrowserCtrl::Create(HWND parent, const RECT& rc) {
  Close();
  hostWindow_ = std::make_unique<HostWindow>();
  host_ = hostWindow_->Create(kBrowserHostClassName, parent, rc, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0);
  if (!host_) return 0;
  site_ = new Site(host_);

  CLSID clsid{};
  IOleObject* ole = nullptr;
  HRESULT hr = CLSIDFromProgID(L"Shell.Explorer", &clsid);
  if (SUCCEEDED(hr))
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, reinterpret_cast<void**>(&ole));
  if (SUCCEEDED(hr)) hr = ole->SetClientSite(static_cast<IOleClientSite*>(site_));
  if (SUCCEEDED(hr)) {
    RECT inner{0, 0, rc.right - rc.left, rc.bottom - rc.top};
    hr = ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_), 0, host_, &inner);
  }
  if (SUCCEEDED(hr)) hr = ole->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser_));
  if (SUCCEEDED(hr)) {
    browser_->put_Silent(VARIANT_TRUE);
    browser_->put_RegisterAsDropTarget(VARIANT_FALSE);
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    hr = browser_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point);
    if (SUCCEEDED(hr)) {
      events_ = new Events(this);
      hr = point->Advise(events_, &eventsCookie_);
    }
    ReleaseAndClear(point);
    ReleaseAndClear(container);
  }
  if (ole) {
    if (FAILED(hr)) ole->Close(OLECLOSE_NOSAVE), ole->SetClientSite(nullptr);
    ole->Release();
  }
  if (FAILED(hr)) {
    LogError("web browser control unavailable (0x%08lx)", static_cast<unsigned long>(hr));
    Close();
    return 0;
  }
  return 1;
}

int CWebBrowserCtrl::Navigate(const std::u16string& url) {
  if (!browser_) return 0;
  if (!IsWebAddress(url)) {
    LogError("web page refused: no web address: %s", platform::ToAnsi(url).c_str());
    return 0;
  }
  navigateError_ = 0;
  BSTR address = SysAllocString(as_wcstr(url));
  VARIANT empty;
  VariantInit(&empty);
  HRESULT hr = browser_->Navigate(address, &empty, &empty, &empty, &empty);
  SysFreeString(address);
  return SUCCEEDED(hr) ? 1 : 0;
}

void CWebBrowserCtrl::OnDocumentComplete(IDispatch* frame, const std::u16string& url) {
  // Frames of the page complete too; only the page itself counts.
  if (!browser_ || (frame && !SameObject(frame, browser_))) return;
  IDispatch* doc = nullptr;
  if (FAILED(browser_->get_Document(&doc)) || !doc) return;
  ReleaseAndClear(document_);
  doc->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document_));
  doc->Release();
  StripMargins();
  if (receiver_) receiver_->OnDocumentComplete(url);
}

void CWebBrowserCtrl::StripMargins() {
  if (!document_) return;
  IHTMLElement* body = nullptr;
  IHTMLBodyElement* bodyElement = nullptr;
  if (SUCCEEDED(document_->get_body(&body)) && body &&
      SUCCEEDED(body->QueryInterface(IID_IHTMLBodyElement, reinterpret_cast<void**>(&bodyElement)))) {
    VARIANT zero;
    VariantInit(&zero);
    V_VT(&zero) = VT_BSTR;
    V_BSTR(&zero) = SysAllocString(L"0");
    bodyElement->put_leftMargin(zero);
    bodyElement->put_topMargin(zero);
    bodyElement->put_rightMargin(zero);
    bodyElement->put_bottomMargin(zero);
    VariantClear(&zero);
    BSTR no = SysAllocString(L"no");
    bodyElement->put_scroll(no);
    SysFreeString(no);
  }
  ReleaseAndClear(bodyElement);
  ReleaseAndClear(body);
}

void CWebBrowserCtrl::Close() {
  if (events_) events_->Detach();
  ReleaseAndClear(document_);
  if (browser_) {
    browser_->Stop();
    browser_->Quit();
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    if (eventsCookie_ && SUCCEEDED(browser_->QueryInterface(IID_IConnectionPointContainer,
                                                            reinterpret_cast<void**>(&container))) &&
        SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point))) {
      point->Unadvise(eventsCookie_);
    }
    ReleaseAndClear(point);
    ReleaseAndClear(container);
    IOleObject* ole = nullptr;
    if (SUCCEEDED(browser_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)))) {
      ole->Close(OLECLOSE_NOSAVE);
      ole->SetClientSite(nullptr);
      ole->Release();
    }
    ReleaseAndClear(browser_);
  }
  eventsCookie_ = 0;
  if (events_) {
    events_->Release();
    events_ = nullptr;
  }
  if (site_) {
    site_->Release();
    site_ = nullptr;
  }
  hostWindow_.reset();  // destroys the window
  host_ = nullptr;
}

}  // namespace adverts
