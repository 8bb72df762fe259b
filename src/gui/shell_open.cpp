#include "gui/shell_open.h"

#include <windows.h>
#include <exdisp.h>
#include <oleauto.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "base/handles.h"
#include "gui/owned_variant.h"

namespace mf::gui {

namespace {

// The shell's automation object of the desktop's own window.
ComPtr<IShellDispatch2> DesktopShell() {
    ComPtr<IShellWindows> windows;
    if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(windows.GetAddressOf()))))
        return nullptr;
    OwnedVariant empty;
    long window = 0;
    ComPtr<IDispatch> desktop;
    if (windows->FindWindowSW(&empty.value, &empty.value, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              desktop.GetAddressOf()) != S_OK ||
        !desktop)
        return nullptr;
    ComPtr<IServiceProvider> services;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    ComPtr<IShellDispatch2> shell;
    if (FAILED(desktop.As(&services)) ||
        FAILED(services->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(browser.GetAddressOf()))) ||
        FAILED(browser->QueryActiveShellView(view.GetAddressOf())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(background.GetAddressOf()))) ||
        FAILED(background.As(&folderView)) || FAILED(folderView->get_Application(application.GetAddressOf())) ||
        FAILED(application.As(&shell)))
        return nullptr;
    return shell;
}

bool OpenThroughDesktop(const std::wstring& url) {
    ComPtr<IShellDispatch2> shell = DesktopShell();
    if (!shell) return false;
    BSTR file = ::SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    OwnedVariant none;
    OwnedVariant verb;
    verb.value.vt = VT_BSTR;
    verb.value.bstrVal = ::SysAllocString(L"open");
    OwnedVariant show;
    show.value.vt = VT_I4;
    show.value.lVal = SW_SHOWNORMAL;
    const HRESULT hr = shell->ShellExecute(file, none.value, none.value, verb.value, show.value);
    ::SysFreeString(file);
    return SUCCEEDED(hr);
}

}  // namespace

bool ProcessIsElevated() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    UniqueHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

bool OpenInUserShell(const std::wstring& url) {
    if (OpenThroughDesktop(url)) return true;
    if (ProcessIsElevated()) return false;
    return reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

}  // namespace mf::gui
