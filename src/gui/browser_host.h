// The system's web browser control inside a window of ours, without MFC or
// ATL: a small OLE container (client site, in-place site and frame, a UI
// handler that shows no context menu and hands out an external dispatch),
// the browser's events, calls into the page's script, and the message
// pre-translation that keeps the page from opening windows, copying,
// printing or going back, and lets its title strip drag the window.
//
// Every COM pointer is owned; every callback catches what its owner throws.
// Threading: one apartment thread (the window's).
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <oleidl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/handles.h"
#include "gui/window.h"

namespace mf::gui {

// One navigation as the browser announces it, before it starts.
struct NavigationEvent {
    std::wstring url;
    // The navigation is the control's own (not one of a frame inside it).
    bool topLevel = true;
    // A frame's address before it navigates ("" or "about:blank" for a
    // frame that shows nothing yet); empty for the top level.
    std::wstring frameLocation;
    // The address of the document the control shows ("" before the first).
    std::wstring topLocation;
};

// What the browser tells its owner.
class BrowserEvents {
public:
    virtual ~BrowserEvents() = default;
    // Every navigation before it starts, of the control and of its frames.
    // True: the navigation is cancelled (a page command the owner carried
    // out, or an address the owner refuses).
    virtual bool OnBeforeNavigate(const NavigationEvent& navigation) = 0;
    // The control's own document has arrived at `url` (after the redirects
    // the server asked for). False: the owner refuses it; the control stops
    // and shows "about:blank".
    virtual bool OnTopArrived(const std::wstring& url) {
        (void)url;
        return true;
    }
    // A navigation failed (`status` an HTTP status or an HRESULT), of the
    // control itself or of a frame.
    virtual void OnNavigateError(const std::wstring& url, long status, bool topLevel) {
        (void)url;
        (void)status;
        (void)topLevel;
    }
    virtual void OnDocumentComplete(const std::wstring& url, bool topLevel) {
        (void)url;
        (void)topLevel;
    }
    // A new window or a download the page asked for; the host has cancelled
    // it already (no page of the engine opens windows or saves files).
    virtual void OnRefused(const std::wstring& what, const std::wstring& url) {
        (void)what;
        (void)url;
    }
};

// Calls a function of the current page's script with text arguments.
class ScriptCaller {
public:
    virtual ~ScriptCaller() = default;
    // The function's result as text; nullopt when there is no page, no such
    // function, or the call failed (an empty value).
    virtual std::optional<std::wstring> CallScript(const std::wstring& name, const std::vector<std::wstring>& args) = 0;
};

// One call on a script object: looks the name up (locale 2048), passes the
// arguments as BSTR copies in reverse order, as dispatch calls take them,
// and converts the result to text.
std::optional<std::wstring> CallScriptOn(IDispatch* script, const std::wstring& name,
                                         const std::vector<std::wstring>& args);

class BrowserHost final : public ScriptCaller {
public:
    // Creates the container window as a child of `parent` and the browser
    // control inside it. Null when the control cannot be created (the
    // reason in `error`). `external` (may be null) is what the page's
    // script reaches as window.external.
    static std::unique_ptr<BrowserHost> Create(HWND parent, int controlId, const RECT& rect, BrowserEvents& events,
                                               IDispatch* external, HRESULT* error = nullptr);
    ~BrowserHost() override;
    BrowserHost(const BrowserHost&) = delete;
    BrowserHost& operator=(const BrowserHost&) = delete;

    // The container window (the browser fills it but for a one-pixel frame).
    [[nodiscard]] HWND Window() const { return window_; }
    bool Navigate(const std::wstring& url);
    // The control (null once stopped); what it announces reaches the owner.
    [[nodiscard]] IWebBrowser2* Control() const { return browser_.Get(); }
    void MoveTo(const RECT& rect);

    std::optional<std::wstring> CallScript(const std::wstring& name, const std::vector<std::wstring>& args) override;

    // Before the message loop dispatches a message: true when the host
    // carried it out or swallowed it (the loop then drops it).
    bool PreTranslate(const MSG& msg);

    // The maximised flag that the title strip's double click and the
    // launcher's page commands share; initially set (the launcher starts
    // maximised).
    [[nodiscard]] bool Maximised() const { return maximised_; }
    void SetMaximised(bool maximised) { maximised_ = maximised; }

    // The address of the document the control shows ("" when none).
    [[nodiscard]] std::wstring LocationUrl() const;
    // Only the document at this address (the engine's own page) reaches the
    // external object; empty: any top-level document does.
    void ServeExternalOnlyTo(std::wstring address) { externalPage_ = std::move(address); }
    // Whether the page at `location` gets the external object.
    [[nodiscard]] bool ServesExternalTo(const std::wstring& location) const;

    // Once: the page's own window stops erasing its background (the page
    // paints all of it), so resizing does not flicker.
    void StopPageBackgroundErase();

private:
    class Site;
    class EventSink;
    friend class Site;
    friend class EventSink;

    BrowserHost(BrowserEvents& events, IDispatch* external);
    HRESULT Start(HWND parent, int controlId, const RECT& rect);
    LRESULT HandleContainer(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void FitControl();
    void Stop();
    bool IsOwnWindow(HWND window) const;
    [[nodiscard]] bool IsTopLevel(IDispatch* navigating) const;
    void OnBeforeNavigate2(IDispatch* navigating, const std::wstring& url, const VARIANT& cancel);
    void OnNavigateComplete2(IDispatch* navigating, const std::wstring& url);

    BrowserEvents& events_;
    ComPtr<IDispatch> external_;
    // The window the control lives in; it keeps the control fitted.
    std::unique_ptr<OwnedWindow<BrowserHost>> container_;
    HWND window_ = nullptr;
    ComPtr<Site> site_;
    ComPtr<EventSink> sink_;
    ComPtr<IOleObject> object_;
    ComPtr<IWebBrowser2> browser_;
    ComPtr<IConnectionPoint> eventsPoint_;
    DWORD eventsCookie_ = 0;
    bool maximised_ = true;
    bool eraseStopped_ = false;
    std::wstring externalPage_;
};

}  // namespace mf::gui
