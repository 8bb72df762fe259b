// The browser host under Wine, with the real WebBrowser control: navigation
// events reach the owner and a handled command never reaches the network;
// calls into a page's script; the pre-translation of the host's messages.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <exdispid.h>
#include <mshtmhst.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "base/strings.h"
#include "base/winsock_init.h"
#include "gui/browser_host.h"
#include "support/test_support.h"
#include "support/window_driver.h"

namespace mf::gui {
namespace {

using namespace std::chrono_literals;

// A loopback listener that counts the requests it is sent and keeps their
// first lines.
class Listener {
public:
    Listener() {
        socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int length = sizeof address;
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        ::listen(socket_, 8);
        thread_ = std::thread([this] { Serve(); });
    }
    ~Listener() {
        stop_ = true;
        ::closesocket(socket_);
        thread_.join();
    }
    [[nodiscard]] int port() const { return port_; }
    [[nodiscard]] std::vector<std::string> Requests() {
        std::lock_guard guard(mutex_);
        return requests_;
    }

private:
    void Serve() {
        while (!stop_) {
            SOCKET client = ::accept(socket_, nullptr, nullptr);
            if (client == INVALID_SOCKET) return;
            char buffer[2048] = {};
            const int got = ::recv(client, buffer, sizeof buffer - 1, 0);
            std::string text(buffer, got > 0 ? got : 0);
            {
                std::lock_guard guard(mutex_);
                requests_.push_back(text.substr(0, text.find("\r\n")));
            }
            const char reply[] = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
            ::send(client, reply, sizeof reply - 1, 0);
            ::closesocket(client);
        }
    }

    WinsockInit winsock_;
    SOCKET socket_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> requests_;
};

class Recorder final : public BrowserEvents {
public:
    bool OnBeforeNavigate(const NavigationEvent& navigation) override {
        navigations.push_back(navigation.url);
        topLevel.push_back(navigation.topLevel);
        return navigation.url.find(L"type=system&op=exit") != std::wstring::npos;
    }
    void OnRefused(const std::wstring& what, const std::wstring& url) override { refused.push_back(what + L" " + url); }
    std::vector<bool> topLevel;
    std::vector<std::wstring> refused;
    void OnNavigateError(const std::wstring& url, long, bool) override { errors.push_back(url); }
    std::vector<std::wstring> navigations;
    std::vector<std::wstring> errors;
};

// A hidden top-level window that keeps the caption clicks that reach it.
class Parent : public test::HolderWindow {
public:
    Parent() : HolderWindow(RECT{0, 0, 640, 480}, false, WS_CLIPCHILDREN) {}
    [[nodiscard]] HWND window() const { return hwnd(); }
    std::vector<MSG> received;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_NCLBUTTONDOWN) {
            received.push_back(MSG{hwnd(), message, wParam, lParam, 0, {}});
            return 0;  // no move loop in a test
        }
        return HolderWindow::OnMessage(message, wParam, lParam);
    }
};

// A page's script object as a test writes it: one function, "add", that
// joins its arguments in the order the page sees them.
class ScriptedPage final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID locale, DISPID* id) override {
        lastLocale = locale;
        if (std::wstring(names[0]) != L"add") return DISP_E_UNKNOWNNAME;
        *id = 7;
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (id != 7 || (flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
        std::wstring joined;
        // rgvarg holds the last argument first.
        for (UINT i = parameters->cArgs; i-- > 0;) {
            if (parameters->rgvarg[i].vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
            joined += std::wstring(parameters->rgvarg[i].bstrVal) + L";";
        }
        result->vt = VT_BSTR;
        result->bstrVal = ::SysAllocString(joined.c_str());
        return S_OK;
    }
    LCID lastLocale = 0;
};

class BrowserHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(ole_));
        HRESULT error = S_OK;
        host_ = BrowserHost::Create(parent_.window(), 173, RECT{0, 0, 640, 480}, events_, nullptr, &error);
        ASSERT_NE(host_, nullptr) << std::hex << error;
    }
    void TearDown() override {
        host_.reset();
        if (SUCCEEDED(ole_)) ::OleUninitialize();
    }
    [[nodiscard]] std::wstring Url(const std::wstring& path) const {
        return L"http://127.0.0.1:" + std::to_wstring(listener_.port()) + path;
    }

    HRESULT ole_ = ::OleInitialize(nullptr);
    Listener listener_;
    Parent parent_;
    Recorder events_;
    std::unique_ptr<BrowserHost> host_;
};

TEST_F(BrowserHostTest, HandledCommandIsCancelledAndAPlainAddressNavigates) {
    const std::wstring command = Url(L"/cmd?type=system&op=exit");
    ASSERT_TRUE(host_->Navigate(command));
    test::PumpMessages(1500ms, [&] { return !events_.navigations.empty(); });
    test::PumpMessages(1000ms);
    ASSERT_FALSE(events_.navigations.empty());
    EXPECT_EQ(events_.navigations.front(), command);
    EXPECT_TRUE(listener_.Requests().empty()) << listener_.Requests().front();

    const std::wstring plain = Url(L"/areas/PracticeCenter/index.html");
    ASSERT_TRUE(host_->Navigate(plain));
    test::PumpMessages(10s, [&] { return !listener_.Requests().empty(); });
    ASSERT_EQ(listener_.Requests().size(), 1u);
    EXPECT_EQ(listener_.Requests().front(), "GET /areas/PracticeCenter/index.html HTTP/1.1");
    EXPECT_EQ(events_.navigations.back(), plain);
}

// The sink the host gave the control, as the control itself calls it.
ComPtr<IDispatch> ControlSink(IWebBrowser2* control) {
    ComPtr<IConnectionPointContainer> points;
    ComPtr<IConnectionPoint> point;
    ComPtr<IEnumConnections> connections;
    CONNECTDATA data{};
    ComPtr<IDispatch> sink;
    if (control == nullptr || FAILED(control->QueryInterface(IID_PPV_ARGS(points.GetAddressOf()))) ||
        FAILED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, point.GetAddressOf())) ||
        FAILED(point->EnumConnections(connections.GetAddressOf())) || connections->Next(1, &data, nullptr) != S_OK)
        return sink;
    (void)data.pUnk->QueryInterface(IID_PPV_ARGS(sink.GetAddressOf()));
    data.pUnk->Release();
    return sink;
}

// Calls the sink with the arguments in the order the event names them
// (the call reverses them, as dispatch calls do).
void Fire(IDispatch* sink, DISPID id, std::vector<VARIANT> inOrder) {
    std::vector<VARIANT> reversed(inOrder.rbegin(), inOrder.rend());
    DISPPARAMS parameters{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    ASSERT_EQ(sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &parameters, nullptr, nullptr, nullptr), S_OK);
}

VARIANT ByRef(VARIANT_BOOL* value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BYREF | VT_BOOL;
    v.pboolVal = value;
    return v;
}

VARIANT Text(BSTR text) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = text;
    return v;
}

VARIANT Dispatch(IDispatch* object) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    return v;
}

TEST_F(BrowserHostTest, NewWindowsAndDownloadsAreCancelledAndReported) {
    ComPtr<IDispatch> sink = ControlSink(host_->Control());
    ASSERT_TRUE(sink);
    BSTR url = ::SysAllocString(L"http://elsewhere.test/popup.html");
    BSTR none = ::SysAllocString(L"");
    VARIANT empty;
    ::VariantInit(&empty);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    Fire(sink.Get(), DISPID_NEWWINDOW3, {empty, ByRef(&cancel), empty, Text(none), Text(url)});
    EXPECT_EQ(cancel, VARIANT_TRUE);
    cancel = VARIANT_FALSE;
    Fire(sink.Get(), DISPID_NEWWINDOW2, {empty, ByRef(&cancel)});
    EXPECT_EQ(cancel, VARIANT_TRUE);
    cancel = VARIANT_FALSE;
    Fire(sink.Get(), DISPID_FILEDOWNLOAD, {empty, ByRef(&cancel)});
    EXPECT_EQ(cancel, VARIANT_TRUE);
    ::SysFreeString(url);
    ::SysFreeString(none);
    EXPECT_EQ(events_.refused,
              (std::vector<std::wstring>{L"new window http://elsewhere.test/popup.html", L"new window ", L"download "}));
}

TEST_F(BrowserHostTest, TheControlsOwnNavigationIsTopLevelAFramesIsNot) {
    ASSERT_TRUE(host_->Navigate(Url(L"/cmd?type=system&op=exit")));
    test::PumpMessages(1500ms, [&] { return !events_.navigations.empty(); });
    ASSERT_EQ(events_.topLevel.size(), 1u);
    EXPECT_TRUE(events_.topLevel[0]);

    // A frame's navigation names the frame's own object.
    ComPtr<IDispatch> sink = ControlSink(host_->Control());
    ASSERT_TRUE(sink);
    ScriptedPage frame;
    BSTR url = ::SysAllocString(L"http://frame.test/x?type=system&op=exit");
    VARIANT empty;
    ::VariantInit(&empty);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    Fire(sink.Get(), DISPID_BEFORENAVIGATE2,
         {Dispatch(&frame), Text(url), empty, empty, empty, empty, ByRef(&cancel)});
    ::SysFreeString(url);
    ASSERT_EQ(events_.topLevel.size(), 2u);
    EXPECT_FALSE(events_.topLevel[1]);
    EXPECT_EQ(cancel, VARIANT_TRUE);
}

TEST(BrowserHostExternal, OnlyTheOwnTopLevelPageGetsTheExternalObject) {
    HRESULT ole = ::OleInitialize(nullptr);
    {
        Parent parent;
        Recorder events;
        ScriptedPage external;
        auto host = BrowserHost::Create(parent.window(), 173, RECT{0, 0, 200, 100}, events, &external);
        ASSERT_NE(host, nullptr);
        // The control asks its site, as it does for a page's window.external.
        ComPtr<IOleObject> object;
        ASSERT_TRUE(SUCCEEDED(host->Control()->QueryInterface(IID_PPV_ARGS(object.GetAddressOf()))));
        ComPtr<IOleClientSite> site;
        ASSERT_TRUE(SUCCEEDED(object->GetClientSite(site.GetAddressOf())));
        ComPtr<IDocHostUIHandler> handler;
        ASSERT_TRUE(SUCCEEDED(site.As(&handler)));
        IDispatch* got = nullptr;
        EXPECT_EQ(handler->GetExternal(&got), S_OK);  // no page named: any top-level page
        if (got != nullptr) got->Release();

        host->ServeExternalOnlyTo(L"res://C:\\app\\mirefold.exe/2000");
        got = reinterpret_cast<IDispatch*>(1);
        EXPECT_EQ(handler->GetExternal(&got), S_FALSE);  // the control shows another page (none)
        EXPECT_EQ(got, nullptr);
        EXPECT_TRUE(host->ServesExternalTo(L"RES://c:/APP/mirefold.exe/2000"));
        EXPECT_FALSE(host->ServesExternalTo(L"http://evil.test/res://C:\\app\\mirefold.exe/2000"));
        EXPECT_FALSE(host->ServesExternalTo(L"res://C:\\app\\mirefold.exe/2001"));
        EXPECT_FALSE(host->ServesExternalTo(L""));
    }
    if (SUCCEEDED(ole)) ::OleUninitialize();
}

TEST_F(BrowserHostTest, WithoutAPageThereIsNoScriptToCall) {
    EXPECT_FALSE(host_->CallScript(L"repair", {L"this"}).has_value());
}

TEST_F(BrowserHostTest, RightButtonIsSwallowedAndTheTitleStripDragsTheParent) {
    HWND inner = host_->Window();
    EXPECT_TRUE(host_->PreTranslate(MSG{inner, WM_RBUTTONDOWN, 0, MAKELPARAM(300, 300), 0, {}}));
    EXPECT_FALSE(host_->PreTranslate(MSG{inner, WM_LBUTTONDOWN, 0, MAKELPARAM(300, 300), 0, {}}));
    EXPECT_FALSE(host_->PreTranslate(MSG{inner, WM_LBUTTONDOWN, 0, MAKELPARAM(600, 10), 0, {}}));  // page buttons
    EXPECT_TRUE(host_->PreTranslate(MSG{inner, WM_LBUTTONDOWN, 0, MAKELPARAM(40, 10), 0, {}}));
    test::PumpMessages(300ms);
    ASSERT_EQ(parent_.received.size(), 1u);
    EXPECT_EQ(parent_.received[0].wParam, static_cast<WPARAM>(HTCAPTION));
    EXPECT_EQ(parent_.received[0].lParam, MAKELPARAM(40, 10));
    // Another window's messages are none of the host's business.
    EXPECT_FALSE(host_->PreTranslate(MSG{parent_.window(), WM_RBUTTONDOWN, 0, 0, 0, {}}));

    // The double click restores and flips the shared flag.
    EXPECT_TRUE(host_->Maximised());
    EXPECT_TRUE(host_->PreTranslate(MSG{inner, WM_LBUTTONDBLCLK, 0, MAKELPARAM(40, 10), 0, {}}));
    EXPECT_FALSE(host_->Maximised());
}

TEST(CallScript, ArgumentsInThePagesOrderAndTheResultAsText) {
    ScriptedPage page;
    EXPECT_EQ(CallScriptOn(&page, L"add", {L"this", L"二", L""}).value_or(L"(none)"), L"this;二;;");
    EXPECT_EQ(page.lastLocale, static_cast<LCID>(LOCALE_SYSTEM_DEFAULT));
    EXPECT_EQ(CallScriptOn(&page, L"add", {}).value_or(L"(none)"), L"");
    EXPECT_FALSE(CallScriptOn(&page, L"missing", {L"x"}).has_value());
    EXPECT_FALSE(CallScriptOn(nullptr, L"add", {L"x"}).has_value());
}

}  // namespace
}  // namespace mf::gui
