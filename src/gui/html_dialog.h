// A dialog whose whole content is an HTML page from the executable's
// resources, shown in the embedded browser: the page's script reaches the
// dialog's methods as window.external.Name(...), the dialog calls the page's
// functions, and after every size change the dialog takes a region with
// rounded corners.
//
// External methods: a table of names and handlers, each handler taking the
// call's arguments as texts. The dispatch object lives as long as the page
// holds it; it forwards to the dialog only while the dialog exists.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/handles.h"
#include "gui/browser_host.h"
#include "gui/window.h"

namespace mf::gui {

using ExternalMethod = std::function<void(const std::vector<std::wstring>& args)>;

// An IDispatch whose methods are the table's names (looked up without regard
// to case, as script hosts do). Arguments arrive as VARIANTs, in reverse
// order; each is turned into text (a missing or odd one becomes "").
class ExternalDispatch final : public IDispatch {
public:
    explicit ExternalDispatch(std::vector<std::pair<std::wstring, ExternalMethod>> methods);
    // Calls after this reach nothing (the owner is gone).
    void Detach();

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                        EXCEPINFO*, UINT*) override;

private:
    ~ExternalDispatch() = default;
    std::atomic<ULONG> references_{1};
    std::vector<std::pair<std::wstring, ExternalMethod>> methods_;
};

// The region of a window of this size: a round rectangle from (0, 0) to
// (width + 1, height) with 6 x 6 corner ellipses.
inline constexpr int kHtmlDialogCorner = 6;
[[nodiscard]] RECT HtmlDialogRegionRect(SIZE window);

// res:// address of an HTML resource of this module.
[[nodiscard]] std::wstring HtmlResourceAddress(int resourceId);

class CBaseHtmlDlg : public Dialog, public BrowserEvents {
public:
    CBaseHtmlDlg(int dialogId, int htmlId);
    ~CBaseHtmlDlg() override;

    // Creates the dialog hidden (its template has no WS_VISIBLE), with the
    // browser in place of control `browserControlId`, and loads the page.
    bool Create(HWND owner, int browserControlId);

    // The page's functions. A test (or a host without a browser) puts a
    // stand-in in the browser's place.
    std::optional<std::wstring> CallScript(const std::wstring& name, const std::vector<std::wstring>& args);
    void SetScriptCaller(ScriptCaller* caller) { scriptStandIn_ = caller; }

    // The page has loaded: the browser reported its top document complete.
    // A page that failed to load never counts as loaded (its window would
    // show nothing, and nothing to close it with).
    [[nodiscard]] bool PageLoaded() const { return pageLoaded_->load(); }
    // The same flag for another thread, valid after the dialog is gone.
    [[nodiscard]] std::shared_ptr<std::atomic<bool>> PageLoadedFlag() const { return pageLoaded_; }
    // The dispatch the page reaches as window.external (not owned).
    [[nodiscard]] IDispatch* External() const { return external_.Get(); }
    [[nodiscard]] BrowserHost* Browser() const { return browser_.get(); }

protected:
    // The page's external methods; asked for once, at creation.
    virtual std::vector<std::pair<std::wstring, ExternalMethod>> ExternalMethods() = 0;
    // Messages the base does not handle.
    virtual INT_PTR OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // A frame of the page failed to load.
    virtual void OnFrameFailed(const std::wstring& url) { (void)url; }
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) final;

    // BrowserEvents
    bool OnBeforeNavigate(const NavigationEvent& navigation) override;
    void OnNavigateError(const std::wstring& url, long status, bool topLevel) override;
    void OnDocumentComplete(const std::wstring& url, bool topLevel) override;

private:
    void ApplyRegion();

    int dialogId_;
    int htmlId_;
    int browserControlId_ = 0;
    std::wstring address_;
    ComPtr<ExternalDispatch> external_;
    std::unique_ptr<BrowserHost> browser_;
    ScriptCaller* scriptStandIn_ = nullptr;
    std::shared_ptr<std::atomic<bool>> pageLoaded_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace mf::gui
