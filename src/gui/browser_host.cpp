#include "gui/browser_host.h"

#include <commctrl.h>
#include <exdispid.h>
#include <mshtmhst.h>
#include <oleauto.h>

#include <algorithm>
#include <atomic>

#include "base/strings.h"
#include "gui/browser_rules.h"
#include "gui/owned_variant.h"

namespace mf::gui {

namespace {

constexpr wchar_t kContainerClass[] = L"MirefoldBrowserHost";
constexpr UINT_PTR kEraseSubclassId = 0x4D46;  // "MF"

// A BSTR owned for the length of a call.
class Bstr {
public:
    explicit Bstr(const std::wstring& text)
        : value_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { ::SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    [[nodiscard]] BSTR get() const { return value_; }

private:
    BSTR value_;
};

// The text of an event argument, which may come by reference.
std::wstring VariantText(const VARIANT& argument) {
    const VARIANT* v = &argument;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal != nullptr) v = v->pvarVal;
    if (v->vt == VT_BSTR && v->bstrVal != nullptr) return std::wstring(v->bstrVal, ::SysStringLen(v->bstrVal));
    if (v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal != nullptr && *v->pbstrVal != nullptr)
        return std::wstring(*v->pbstrVal, ::SysStringLen(*v->pbstrVal));
    return {};
}

long VariantLong(const VARIANT& argument) {
    const VARIANT* v = &argument;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal != nullptr) v = v->pvarVal;
    OwnedVariant converted;
    if (FAILED(::VariantChangeType(&converted.value, const_cast<VARIANT*>(v), 0, VT_I4))) return 0;
    return converted.value.lVal;
}

IDispatch* DispatchOf(const VARIANT& argument) {
    const VARIANT* v = &argument;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal != nullptr) v = v->pvarVal;
    if (v->vt == VT_DISPATCH) return v->pdispVal;
    if (v->vt == (VT_BYREF | VT_DISPATCH) && v->ppdispVal != nullptr) return *v->ppdispVal;
    return nullptr;
}

// The address a browser object (the control's or a frame's) shows.
std::wstring LocationOf(IWebBrowser2* browser) {
    if (browser == nullptr) return {};
    BSTR location = nullptr;
    if (FAILED(browser->get_LocationURL(&location)) || location == nullptr) return {};
    std::wstring text(location, ::SysStringLen(location));
    ::SysFreeString(location);
    return text;
}

void SetCancel(const VARIANT& argument, bool cancel) {
    if (argument.vt == (VT_BYREF | VT_BOOL) && argument.pboolVal != nullptr)
        *argument.pboolVal = cancel ? VARIANT_TRUE : VARIANT_FALSE;
}

// Depth-first: the first descendant of the given class.
HWND FindDescendant(HWND parent, const wchar_t* className) {
    for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        ::GetClassNameW(child, name, 64);
        if (::lstrcmpW(name, className) == 0) return child;
        if (HWND found = FindDescendant(child, className)) return found;
    }
    return nullptr;
}

LRESULT CALLBACK NoEraseProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_ERASEBKGND) return 1;
    return ::DefSubclassProc(window, message, wParam, lParam);
}

bool KeyDown(int key) { return (::GetKeyState(key) & 0x8000) != 0; }

}  // namespace

std::optional<std::wstring> CallScriptOn(IDispatch* script, const std::wstring& name,
                                         const std::vector<std::wstring>& args) {
    if (script == nullptr) return std::nullopt;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    if (FAILED(script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id))) return std::nullopt;

    std::vector<VARIANT> values(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        VARIANT& value = values[args.size() - 1 - i];  // the last argument first
        ::VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = ::SysAllocStringLen(args[i].data(), static_cast<UINT>(args[i].size()));
    }
    DISPPARAMS parameters{values.empty() ? nullptr : values.data(), nullptr, static_cast<UINT>(values.size()), 0};
    OwnedVariant result;
    EXCEPINFO exception{};
    UINT badArgument = 0;
    const HRESULT hr =
        script->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &parameters, &result.value, &exception,
                       &badArgument);
    for (VARIANT& value : values) ::VariantClear(&value);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    if (FAILED(hr)) return std::nullopt;
    if (result.value.vt == VT_EMPTY || result.value.vt == VT_NULL) return std::wstring();
    OwnedVariant text;
    if (FAILED(::VariantChangeType(&text.value, &result.value, 0, VT_BSTR))) return std::wstring();
    return VariantText(text.value);
}

// The container's side of the control: client site, in-place site and
// frame, and the UI handler. Lives as long as the control holds it; the
// host detaches itself before it goes.
class BrowserHost::Site final : public IOleClientSite,
                                public IOleInPlaceSite,
                                public IOleInPlaceFrame,
                                public IDocHostUIHandler {
public:
    explicit Site(BrowserHost* host) : host_(host) {}
    void Detach() { host_ = nullptr; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
            *object = static_cast<IOleClientSite*>(this);
        } else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) {
            *object = static_cast<IOleInPlaceSite*>(this);
        } else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame) {
            *object = static_cast<IOleInPlaceFrame*>(this);
        } else if (riid == IID_IDocHostUIHandler) {
            *object = static_cast<IDocHostUIHandler*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        if (moniker != nullptr) *moniker = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        if (container != nullptr) *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (shared by the in-place site and the frame)
    STDMETHODIMP GetWindow(HWND* window) override {
        if (window == nullptr) return E_POINTER;
        *window = host_ != nullptr ? host_->window_ : nullptr;
        return *window != nullptr ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return host_ != nullptr ? S_OK : S_FALSE; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr || info == nullptr)
            return E_POINTER;
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *document = nullptr;
        RECT area{};
        if (host_ != nullptr) ::GetClientRect(host_->window_, &area);
        *position = area;
        *clip = area;
        info->fMDIApp = FALSE;
        info->hwndFrame = host_ != nullptr ? ::GetAncestor(host_->window_, GA_ROOT) : nullptr;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow / IOleInPlaceFrame: the container has no menus
    // or tool bars to share.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        active_ = object;
        return S_OK;
    }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IDocHostUIHandler: no context menu, no 3-D border, the external
    // dispatch for the page's script.
    STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_OK; }
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override {
        if (info == nullptr) return E_POINTER;
        info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_DIALOG;
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
        if (key != nullptr) *key = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget** target) override {
        if (target != nullptr) *target = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetExternal(IDispatch** external) override {
        if (external == nullptr) return E_POINTER;
        *external = nullptr;
        // Only the engine's own page reaches the engine: a page the control
        // was sent to in its place gets no external object.
        if (host_ == nullptr || !host_->external_ || !host_->ServesExternalTo(host_->LocationUrl())) return S_FALSE;
        *external = host_->external_.Get();
        (*external)->AddRef();
        return S_OK;
    }
    STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override {
        if (out != nullptr) *out = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP FilterDataObject(IDataObject*, IDataObject** out) override {
        if (out != nullptr) *out = nullptr;
        return S_FALSE;
    }

    [[nodiscard]] IOleInPlaceActiveObject* Active() const { return active_.Get(); }

private:
    ~Site() = default;
    std::atomic<ULONG> references_{1};
    BrowserHost* host_;
    ComPtr<IOleInPlaceActiveObject> active_;
};

// DWebBrowserEvents2: before-navigate (page commands and the owner's
// address rules), the top document's arrival, navigation errors, document
// complete, and new windows and downloads (always cancelled). An exception
// of the owner ends the event, never the process; a navigation whose owner
// failed stays cancelled.
class BrowserHost::EventSink final : public IDispatch {
public:
    explicit EventSink(BrowserHost* host) : host_(host) {}
    void Detach() { host_ = nullptr; }

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count != nullptr) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*, EXCEPINFO*, UINT*) override {
        if (host_ == nullptr || parameters == nullptr) return S_OK;
        const VARIANT* args = parameters->rgvarg;
        const UINT count = parameters->cArgs;
        try {
            switch (id) {
                case DISPID_BEFORENAVIGATE2:
                    // (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel), reversed.
                    if (count >= 7) host_->OnBeforeNavigate2(DispatchOf(args[6]), VariantText(args[5]), args[0]);
                    break;
                case DISPID_NAVIGATECOMPLETE2:
                    // (pDisp, URL), reversed.
                    if (count >= 2) host_->OnNavigateComplete2(DispatchOf(args[1]), VariantText(args[0]));
                    break;
                case DISPID_NAVIGATEERROR:
                    // (pDisp, URL, Frame, StatusCode, Cancel), reversed.
                    if (count >= 5)
                        host_->events_.OnNavigateError(VariantText(args[3]), VariantLong(args[1]),
                                                       host_->IsTopLevel(DispatchOf(args[4])));
                    break;
                case DISPID_DOCUMENTCOMPLETE:
                    // (pDisp, URL), reversed.
                    if (count >= 2)
                        host_->events_.OnDocumentComplete(VariantText(args[0]), host_->IsTopLevel(DispatchOf(args[1])));
                    break;
                case DISPID_NEWWINDOW2:
                    // (ppDisp, Cancel), reversed.
                    if (count >= 2) Refuse(args[0], L"new window", L"");
                    break;
                case DISPID_NEWWINDOW3:
                    // (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl), reversed.
                    if (count >= 5) Refuse(args[3], L"new window", VariantText(args[0]));
                    break;
                case DISPID_FILEDOWNLOAD:
                    // (ActiveDocument, Cancel), reversed.
                    if (count >= 2) Refuse(args[0], L"download", L"");
                    break;
                default: break;
            }
        } catch (...) {
            return E_UNEXPECTED;
        }
        return S_OK;
    }

private:
    ~EventSink() = default;
    // Cancelled before the owner hears of it: an owner that fails still
    // opens nothing.
    void Refuse(const VARIANT& cancel, const wchar_t* what, const std::wstring& url) {
        SetCancel(cancel, true);
        host_->events_.OnRefused(what, url);
    }
    std::atomic<ULONG> references_{1};
    BrowserHost* host_;
};

BrowserHost::BrowserHost(BrowserEvents& events, IDispatch* external) : events_(events), external_(external) {}

std::unique_ptr<BrowserHost> BrowserHost::Create(HWND parent, int controlId, const RECT& rect, BrowserEvents& events,
                                                 IDispatch* external, HRESULT* error) {
    std::unique_ptr<BrowserHost> host(new BrowserHost(events, external));
    const HRESULT hr = host->Start(parent, controlId, rect);
    if (error != nullptr) *error = hr;
    if (FAILED(hr)) return nullptr;
    return host;
}

HRESULT BrowserHost::Start(HWND parent, int controlId, const RECT& rect) {
    if (!RegisterWindowClass(kContainerClass, 0)) return HRESULT_FROM_WIN32(::GetLastError());
    container_ = std::make_unique<OwnedWindow<BrowserHost>>(*this, &BrowserHost::HandleContainer);
    if (!container_->Create(kContainerClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, rect, parent,
                            static_cast<UINT_PTR>(controlId)))
        return HRESULT_FROM_WIN32(::GetLastError());
    window_ = container_->hwnd();

    HRESULT hr = ::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                    reinterpret_cast<void**>(object_.GetAddressOf()));
    if (FAILED(hr)) return hr;
    site_.Attach(new Site(this));
    sink_.Attach(new EventSink(this));
    hr = object_->SetClientSite(site_.Get());
    if (FAILED(hr)) return hr;
    (void)::OleSetContainedObject(object_.Get(), TRUE);
    RECT area{};
    ::GetClientRect(window_, &area);
    hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.Get(), 0, window_, &area);
    if (FAILED(hr)) return hr;
    hr = object_.As(&browser_);
    if (FAILED(hr)) return hr;
    (void)browser_->put_Silent(VARIANT_TRUE);  // no script-error dialogs of its own
    ComPtr<IConnectionPointContainer> points;
    hr = object_.As(&points);
    if (SUCCEEDED(hr)) hr = points->FindConnectionPoint(DIID_DWebBrowserEvents2, eventsPoint_.GetAddressOf());
    if (SUCCEEDED(hr)) hr = eventsPoint_->Advise(sink_.Get(), &eventsCookie_);
    if (FAILED(hr)) return hr;
    FitControl();
    return S_OK;
}

BrowserHost::~BrowserHost() { Stop(); }

void BrowserHost::Stop() {
    if (eventsPoint_ && eventsCookie_ != 0) (void)eventsPoint_->Unadvise(eventsCookie_);
    eventsCookie_ = 0;
    eventsPoint_.Reset();
    if (sink_) sink_->Detach();
    if (object_) {
        ComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(object_.As(&inPlace))) (void)inPlace->InPlaceDeactivate();
        (void)object_->Close(OLECLOSE_NOSAVE);
        (void)object_->SetClientSite(nullptr);
    }
    if (site_) site_->Detach();
    browser_.Reset();
    object_.Reset();
    sink_.Reset();
    site_.Reset();
    window_ = nullptr;
    if (container_) container_->Destroy();
    container_.reset();
}

LRESULT BrowserHost::HandleContainer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE: FitControl(); return 0;
        case WM_ERASEBKGND: {
            // The one-pixel frame around the control (the control paints the rest).
            RECT area{};
            ::GetClientRect(window, &area);
            ::FillRect(reinterpret_cast<HDC>(wParam), &area, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
            return 1;
        }
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

// The control fills the container but for a one-pixel frame.
void BrowserHost::FitControl() {
    if (!object_ || window_ == nullptr) return;
    RECT area{};
    ::GetClientRect(window_, &area);
    RECT inner{1, 1, std::max<LONG>(1, area.right - 1), std::max<LONG>(1, area.bottom - 1)};
    ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(object_.As(&inPlace))) (void)inPlace->SetObjectRects(&inner, &inner);
    // No border of its own: the launcher draws none.
    HWND control = ::GetWindow(window_, GW_CHILD);
    if (control != nullptr && (::GetWindowLongPtrW(control, GWL_STYLE) & WS_BORDER) != 0) {
        ::SetWindowLongPtrW(control, GWL_STYLE, ::GetWindowLongPtrW(control, GWL_STYLE) & ~WS_BORDER);
        ::SetWindowPos(control, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
}

void BrowserHost::MoveTo(const RECT& rect) {
    if (window_ != nullptr)
        ::MoveWindow(window_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

bool BrowserHost::Navigate(const std::wstring& url) {
    if (!browser_) return false;
    Bstr address(url);
    VARIANT empty;
    ::VariantInit(&empty);
    return SUCCEEDED(browser_->Navigate(address.get(), &empty, &empty, &empty, &empty));
}

std::optional<std::wstring> BrowserHost::CallScript(const std::wstring& name, const std::vector<std::wstring>& args) {
    if (!browser_) return std::nullopt;
    ComPtr<IDispatch> document;
    if (FAILED(browser_->get_Document(document.GetAddressOf())) || !document) return std::nullopt;
    // The document's "Script" property is the page's script object.
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Script")};
    if (FAILED(document->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id))) return std::nullopt;
    DISPPARAMS none{};
    OwnedVariant script;
    if (FAILED(document->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET, &none, &script.value,
                                nullptr, nullptr)) ||
        script.value.vt != VT_DISPATCH || script.value.pdispVal == nullptr)
        return std::nullopt;
    return CallScriptOn(script.value.pdispVal, name, args);
}

// The control's own object and a frame's are told apart by identity.
bool BrowserHost::IsTopLevel(IDispatch* navigating) const {
    if (navigating == nullptr || !browser_) return true;
    ComPtr<IUnknown> own;
    ComPtr<IUnknown> other;
    if (FAILED(browser_.As(&own)) ||
        FAILED(navigating->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(other.GetAddressOf()))))
        return false;
    return own.Get() == other.Get();
}

void BrowserHost::OnBeforeNavigate2(IDispatch* navigating, const std::wstring& url, const VARIANT& cancel) {
    NavigationEvent event;
    event.url = url;
    event.topLevel = IsTopLevel(navigating);
    event.topLocation = LocationUrl();
    if (!event.topLevel && navigating != nullptr) {
        ComPtr<IWebBrowser2> frame;
        if (SUCCEEDED(navigating->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(frame.GetAddressOf()))))
            event.frameLocation = LocationOf(frame.Get());
    }
    // An owner that fails refuses: nothing goes where nobody decided.
    SetCancel(cancel, true);
    SetCancel(cancel, events_.OnBeforeNavigate(event));
}

void BrowserHost::OnNavigateComplete2(IDispatch* navigating, const std::wstring& url) {
    if (!IsTopLevel(navigating) || events_.OnTopArrived(url) || !browser_) return;
    (void)browser_->Stop();
    Navigate(L"about:blank");
}

std::wstring BrowserHost::LocationUrl() const { return LocationOf(browser_.Get()); }

bool BrowserHost::ServesExternalTo(const std::wstring& location) const {
    if (externalPage_.empty()) return true;
    // The control may write the module's path with either slash.
    auto plain = [](std::wstring text) {
        std::replace(text.begin(), text.end(), L'\\', L'/');
        return ToLower(text);
    };
    return plain(location) == plain(externalPage_);
}

bool BrowserHost::IsOwnWindow(HWND window) const {
    return window_ != nullptr && (window == window_ || ::IsChild(window_, window));
}

bool BrowserHost::PreTranslate(const MSG& msg) {
    if (!IsOwnWindow(msg.hwnd)) return false;
    POINT point{static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
    ::MapWindowPoints(msg.hwnd, window_, &point, 1);
    RECT area{};
    ::GetClientRect(window_, &area);
    const InputDecision decision = DecideBrowserInput(msg.message, msg.wParam, KeyDown(VK_CONTROL), KeyDown(VK_MENU),
                                                      point, SIZE{area.right, area.bottom});
    HWND root = ::GetAncestor(window_, GA_ROOT);
    switch (decision.action) {
        case BrowserInput::Pass: break;
        case BrowserInput::Swallow:
            if (decision.debugText != nullptr) ::OutputDebugStringW(decision.debugText);
            return true;
        case BrowserInput::DragWindow:
            ::PostMessageW(root, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
            return true;
        case BrowserInput::ToggleMaximised:
            ::ShowWindow(root, maximised_ ? SW_SHOWNORMAL : SW_MAXIMIZE);
            (void)CallScript(TitleDoubleClickFunction(maximised_), {L"this"});
            maximised_ = !maximised_;
            return true;
    }
    // Keys the browser itself handles (Tab between fields, Enter in a form).
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && site_ && site_->Active() != nullptr)
        return site_->Active()->TranslateAccelerator(const_cast<MSG*>(&msg)) == S_OK;
    return false;
}

void BrowserHost::StopPageBackgroundErase() {
    if (eraseStopped_ || window_ == nullptr) return;
    HWND page = FindDescendant(window_, L"Internet Explorer_Server");
    if (page == nullptr) return;
    eraseStopped_ = ::SetWindowSubclass(page, NoEraseProc, kEraseSubclassId, 0) != FALSE;
}

}  // namespace mf::gui
