#include "gui/html_dialog.h"

#include <oleauto.h>

#include "gui/browser_rules.h"

namespace mf::gui {

namespace {

std::wstring ArgumentText(const VARIANT& argument) {
    const VARIANT* v = &argument;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal != nullptr) v = v->pvarVal;
    if (v->vt == VT_BSTR) return v->bstrVal != nullptr ? std::wstring(v->bstrVal, ::SysStringLen(v->bstrVal)) : L"";
    if (v->vt == VT_EMPTY || v->vt == VT_NULL || v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN) return {};
    VARIANT text;
    ::VariantInit(&text);
    std::wstring out;
    if (SUCCEEDED(::VariantChangeType(&text, const_cast<VARIANT*>(v), 0, VT_BSTR)) && text.bstrVal != nullptr)
        out.assign(text.bstrVal, ::SysStringLen(text.bstrVal));
    ::VariantClear(&text);
    return out;
}

constexpr DISPID kFirstMethod = 1;

}  // namespace

ExternalDispatch::ExternalDispatch(std::vector<std::pair<std::wstring, ExternalMethod>> methods)
    : methods_(std::move(methods)) {}

void ExternalDispatch::Detach() {
    for (auto& method : methods_) method.second = nullptr;
}

STDMETHODIMP ExternalDispatch::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) ExternalDispatch::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) ExternalDispatch::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP ExternalDispatch::GetTypeInfoCount(UINT* count) {
    if (count != nullptr) *count = 0;
    return S_OK;
}

STDMETHODIMP ExternalDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ExternalDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT n = 0; n < count; ++n) {
        ids[n] = DISPID_UNKNOWN;
        // Only the method's name is looked up; named arguments are not known.
        if (n == 0 && names[0] != nullptr) {
            for (std::size_t i = 0; i < methods_.size(); ++i)
                if (::lstrcmpiW(methods_[i].first.c_str(), names[0]) == 0)
                    ids[0] = kFirstMethod + static_cast<DISPID>(i);
        }
        if (ids[n] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP ExternalDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                      EXCEPINFO*, UINT*) {
    if (id < kFirstMethod || static_cast<std::size_t>(id - kFirstMethod) >= methods_.size())
        return DISP_E_MEMBERNOTFOUND;
    if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
    if (result != nullptr) ::VariantInit(result);
    std::vector<std::wstring> args;
    if (parameters != nullptr && parameters->rgvarg != nullptr) {
        for (UINT i = parameters->cArgs; i-- > 0;) args.push_back(ArgumentText(parameters->rgvarg[i]));
    }
    const ExternalMethod& method = methods_[static_cast<std::size_t>(id - kFirstMethod)].second;
    if (!method) return S_OK;  // the dialog is gone: the call does nothing
    try {
        method(args);
    } catch (...) {
        return E_UNEXPECTED;
    }
    return S_OK;
}

RECT HtmlDialogRegionRect(SIZE window) { return RECT{0, 0, window.cx + 1, window.cy}; }

std::wstring HtmlResourceAddress(int resourceId) {
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(ThisModule(), module, MAX_PATH);
    return L"res://" + std::wstring(module) + L"/" + std::to_wstring(resourceId);
}

CBaseHtmlDlg::CBaseHtmlDlg(int dialogId, int htmlId) : dialogId_(dialogId), htmlId_(htmlId) {}

CBaseHtmlDlg::~CBaseHtmlDlg() {
    if (external_) external_->Detach();
    browser_.reset();
}

bool CBaseHtmlDlg::Create(HWND owner, int browserControlId) {
    browserControlId_ = browserControlId;
    return CreateModeless(dialogId_, owner) != nullptr;
}

std::optional<std::wstring> CBaseHtmlDlg::CallScript(const std::wstring& name, const std::vector<std::wstring>& args) {
    if (scriptStandIn_ != nullptr) return scriptStandIn_->CallScript(name, args);
    if (browser_) return browser_->CallScript(name, args);
    return std::nullopt;
}

INT_PTR CBaseHtmlDlg::OnDialogMessage(UINT, WPARAM, LPARAM) { return FALSE; }

INT_PTR CBaseHtmlDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            external_.Attach(new ExternalDispatch(ExternalMethods()));
            RECT area{};
            ::GetClientRect(hwnd(), &area);
            if (HWND placeholder = ::GetDlgItem(hwnd(), browserControlId_)) ::DestroyWindow(placeholder);
            browser_ = BrowserHost::Create(hwnd(), browserControlId_, area, *this, external_.Get());
            ApplyRegion();
            address_ = HtmlResourceAddress(htmlId_);
            if (browser_) {
                browser_->SetMaximised(false);
                browser_->ServeExternalOnlyTo(address_);
                browser_->Navigate(address_);
            }
            (void)OnDialogMessage(message, wParam, lParam);
            return FALSE;  // no focus given: the dialog opens hidden
        }
        case WM_SIZE: {
            if (browser_) {
                RECT area{};
                ::GetClientRect(hwnd(), &area);
                browser_->MoveTo(area);
            }
            ApplyRegion();
            return FALSE;
        }
        case WM_DESTROY:
            if (external_) external_->Detach();
            browser_.reset();
            break;
        default: break;
    }
    return OnDialogMessage(message, wParam, lParam);
}

void CBaseHtmlDlg::ApplyRegion() {
    RECT window{};
    ::GetWindowRect(hwnd(), &window);
    const RECT r = HtmlDialogRegionRect(SIZE{window.right - window.left, window.bottom - window.top});
    HRGN region = ::CreateRoundRectRgn(r.left, r.top, r.right, r.bottom, kHtmlDialogCorner, kHtmlDialogCorner);
    // The window owns the region once it is set.
    if (region != nullptr && ::SetWindowRgn(hwnd(), region, TRUE) == 0) ::DeleteObject(region);
}

bool CBaseHtmlDlg::OnBeforeNavigate(const NavigationEvent& navigation) {
    return !HtmlDialogMayGo(navigation.url, navigation.topLevel, address_);
}

void CBaseHtmlDlg::OnNavigateError(const std::wstring& url, long, bool topLevel) {
    if (!topLevel) OnFrameFailed(url);
}

void CBaseHtmlDlg::OnDocumentComplete(const std::wstring&, bool topLevel) {
    if (topLevel) *pageLoaded_ = true;
}

}  // namespace mf::gui
