// The push-message window in this process: a stand-in launcher window owns
// it, a scripted stand-in takes the page's place (no page loads under Wine)
// and calls the window's external methods as the page would, and the
// message server's answers come from the test.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/messages.h"
#include "base/strings.h"
#include "support/test_support.h"
#include "support/window_driver.h"
#include "ui/push_message_window.h"

namespace mf::ui {
namespace {

using namespace std::chrono_literals;

// The launcher's part: it receives 1030 (a message retired) and keeps the
// ids; it copies the system string and frees nothing.
class StandInLauncher : public test::HolderWindow {
public:
    StandInLauncher() : HolderWindow(RECT{0, 0, 640, 480}, true) {}
    std::vector<std::wstring> retired;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == msg::kPushRetired) {
            retired.push_back(MessageText(lParam));
            return 0;
        }
        return HolderWindow::OnMessage(message, wParam, lParam);
    }
};

// Calls a method of the window's external object the way the page's script
// does: by name, with text arguments.
HRESULT CallExternal(IDispatch* external, const wchar_t* name, const std::vector<std::wstring>& args) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = external->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> values(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        VARIANT& v = values[args.size() - 1 - i];
        ::VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = ::SysAllocString(args[i].c_str());
    }
    DISPPARAMS parameters{values.empty() ? nullptr : values.data(), nullptr, static_cast<UINT>(values.size()), 0};
    VARIANT result;
    ::VariantInit(&result);
    hr = external->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &parameters, &result, nullptr, nullptr);
    for (VARIANT& v : values) ::VariantClear(&v);
    ::VariantClear(&result);
    return hr;
}

// The page: records the calls; "addImg" answers as the page's script does,
// with ResizeDlg and the image's size.
class ScriptedPage final : public gui::ScriptCaller {
public:
    explicit ScriptedPage(CMsgDlg& window) : window_(window) {}
    std::optional<std::wstring> CallScript(const std::wstring& name, const std::vector<std::wstring>& args) override {
        calls.push_back(name + L"(" + (args.empty() ? L"" : args[0]) + L")");
        lastArgs = args;
        if (name == L"addImg") {
            EXPECT_EQ(CallExternal(window_.External(), L"ResizeDlg", {imageSize}), S_OK);
        }
        return std::wstring();
    }
    std::vector<std::wstring> calls;
    std::vector<std::wstring> lastArgs;
    std::wstring imageSize = L"300|120";

private:
    CMsgDlg& window_;
};

// Answers of the message server's package check, by call.
struct CheckServer {
    std::mutex lock;
    std::wstring answer = L"{\"result\":0}";
    std::vector<std::wstring> urls;
    std::vector<std::wstring> opened;
    PushContext Context() {
        PushContext c;
        c.messageServer = L"http://msg.test";
        c.machineId = L"MAC42";
        c.identifierHosts = {L"msg.test", L"offers"};
        c.product = OfferProductFor(Companion::None, L"", L"XA9", L"P7", L"");
        c.post = [this](const std::wstring& url, std::wstring& text) {
            std::lock_guard<std::mutex> hold(lock);
            urls.push_back(url);
            text = answer;
            return 0;
        };
        c.open = [this](const std::wstring& url) {
            opened.push_back(url);
            return true;
        };
        return c;
    }
    void Answer(const std::wstring& text) {
        std::lock_guard<std::mutex> hold(lock);
        answer = text;
    }
};

class PushWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window_.Create());
        window_.SetScriptCaller(&page_);
        ::SetForegroundWindow(launcher_.hwnd());
    }
    RECT WindowRect() const {
        RECT r{};
        ::GetWindowRect(window_.hwnd(), &r);
        return r;
    }
    void ExpectShownAt(LONG x, LONG y, LONG width, LONG height) const {
        EXPECT_TRUE(::IsWindowVisible(window_.hwnd()));
        const RECT r = WindowRect();
        EXPECT_EQ(r.left, x);
        EXPECT_EQ(r.top, y);
        EXPECT_EQ(r.right - r.left, width);
        EXPECT_EQ(r.bottom - r.top, height);
    }
    // The offer check answers on its own thread; the window takes the
    // answer from its queue.
    static bool PumpUntil(const std::function<bool()>& done) {
        return test::WaitUntil(
            [&] {
                test::PumpMessages(50ms);
                return done();
            },
            10s);
    }
    static SIZE Screen() { return SIZE{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}; }

    struct Ole {
        Ole() { (void)::OleInitialize(nullptr); }
        ~Ole() { ::OleUninitialize(); }
    } ole_;
    StandInLauncher launcher_;
    CheckServer server_;
    CMsgDlg window_{launcher_.hwnd(), server_.Context()};
    ScriptedPage page_{window_};
};

TEST_F(PushWindowTest, ABannerIsSizedByItsPageAndPlacedAtItsPosition) {
    EXPECT_FALSE(::IsWindowVisible(window_.hwnd()));
    // Message 1029 as the launcher passes it on, with a system string the
    // sender frees after the call.
    SendTextMessage(window_.hwnd(), msg::kPushShow, 1, L"|b1||http://img/b.png|http://link/x?a=1|0|0|9|-10|-20");
    ASSERT_EQ(page_.calls.size(), 1u);
    EXPECT_EQ(page_.calls[0], L"addImg(b1|http://img/b.png|http://link/x?a=1)");
    const SIZE screen = Screen();
    ExpectShownAt(screen.cx - 300 - 10, screen.cy - 120 - 20, 300, 120);
    // The rounded region follows the size.
    RECT box{};
    EXPECT_EQ(::GetWindowRgnBox(window_.hwnd(), &box), COMPLEXREGION);
    // Pixels at the corner lie outside the region; the middle inside.
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    ::GetWindowRgn(window_.hwnd(), region);
    EXPECT_FALSE(::PtInRegion(region, 0, 0));
    EXPECT_TRUE(::PtInRegion(region, 150, 60));
    EXPECT_TRUE(::PtInRegion(region, 299, 60));  // the region reaches the right edge
    ::DeleteObject(region);

    // The close button hides it; the page asks for a size again next time.
    EXPECT_EQ(CallExternal(window_.External(), L"HideMsgDialog", {}), S_OK);
    EXPECT_FALSE(::IsWindowVisible(window_.hwnd()));
    page_.imageSize = L"200|80";
    SendTextMessage(window_.hwnd(), msg::kPushShow, 1, L"|b1||http://img/b.png|http://link|0|0|5|0|0");
    ExpectShownAt((screen.cx - 200) / 2, (screen.cy - 80) / 2, 200, 80);
    EXPECT_TRUE(launcher_.retired.empty());
}

TEST_F(PushWindowTest, ResizeDlgCalledAsThePageDoes) {
    window_.ShowRecord(L"|b2||img|link|0|0|1|5|6");  // position 1, offsets 5, 6
    page_.calls.clear();
    EXPECT_EQ(CallExternal(window_.External(), L"resizedlg", {L"240|90"}), S_OK);  // names without regard to case
    ExpectShownAt(5, 6, 240, 90);
    // Sizes that are no size leave the window as it is.
    for (const wchar_t* odd : {L"", L"0|0", L"-5|10", L"abc"}) {
        EXPECT_EQ(CallExternal(window_.External(), L"ResizeDlg", {odd}), S_OK);
        ExpectShownAt(5, 6, 240, 90);
    }
    // Unknown names are unknown; a call without arguments does nothing.
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Navigate")};
    EXPECT_EQ(window_.External()->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(CallExternal(window_.External(), L"ResizeDlg", {}), S_OK);
}

TEST_F(PushWindowTest, NoBannerOverAMinimisedLauncher) {
    ::ShowWindow(launcher_.hwnd(), SW_MINIMIZE);
    window_.ShowRecord(L"|b3||img|link|0|0|9|0|0");
    EXPECT_TRUE(page_.calls.empty());
    EXPECT_FALSE(::IsWindowVisible(window_.hwnd()));
    // Unknown tasks show nothing either.
    ::ShowWindow(launcher_.hwnd(), SW_RESTORE);
    window_.ShowRecord(L"lottery|b4||img|link|0|0|9|0|0");
    EXPECT_TRUE(page_.calls.empty());
    EXPECT_FALSE(::IsWindowVisible(window_.hwnd()));
}

TEST_F(PushWindowTest, AnOfferShowsAtItsPageSizeAndTheWatchRetiresItOnceTaken) {
    SendTextMessage(window_.hwnd(), msg::kPushShow, 1,
                    L"appshopdalibao|o1|http://offers/gift.html|||400|300|3|-8|12");
    ASSERT_TRUE(PumpUntil([&] { return !page_.calls.empty(); }));
    const std::wstring check =
        L"http://msg.test/app/AppPackageHandle.ashx?method=CheckPackage&mac=MAC42&productID=P7&platID=3&code=";
    {
        std::lock_guard<std::mutex> hold(server_.lock);
        ASSERT_EQ(server_.urls.size(), 1u);
        EXPECT_EQ(server_.urls[0], check);
    }
    ASSERT_EQ(page_.calls.size(), 1u);
    EXPECT_EQ(page_.calls[0], L"setUrl(o1|http://offers/gift.html|400|300|XA9|MAC42|9|P7||3)");
    const SIZE screen = Screen();
    ExpectShownAt(screen.cx - 400 - 8, 12, 400, 300);
    EXPECT_EQ(window_.CurrentOffer(), L"o1|" + check);

    // The user takes the offer: the watch sees it within a few seconds.
    server_.Answer(L"{\"result\":1}");
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            test::PumpMessages(100ms);
            return !launcher_.retired.empty();
        },
        10s));
    ASSERT_EQ(launcher_.retired.size(), 1u);
    EXPECT_EQ(launcher_.retired[0], L"o1");
    EXPECT_FALSE(::IsWindowVisible(window_.hwnd()));
    EXPECT_EQ(window_.CurrentOffer(), L"");
}

TEST_F(PushWindowTest, AnOfferAlreadyTakenIsNeverShownAndIsRetired) {
    server_.Answer(L"{\"msg\":\"ok\",\"result\":1}");
    window_.ShowRecord(L"appshopdalibao|o2|http://offers/gift.html|||400|300|5|0|0");
    ASSERT_TRUE(PumpUntil([&] { return !launcher_.retired.empty(); }));
    EXPECT_TRUE(page_.calls.empty());
    EXPECT_FALSE(::IsWindowVisible(window_.hwnd()));
    ASSERT_EQ(launcher_.retired.size(), 1u);
    EXPECT_EQ(launcher_.retired[0], L"o2");
}

TEST_F(PushWindowTest, AFailedCheckCountsAsAnOfferThatStillApplies) {
    CheckServer failing;
    PushContext context = failing.Context();
    context.post = [](const std::wstring&, std::wstring& text) {
        text.clear();
        return 2;  // timed out
    };
    CMsgDlg window(launcher_.hwnd(), context);
    ASSERT_TRUE(window.Create());
    ScriptedPage page(window);
    window.SetScriptCaller(&page);
    window.ShowRecord(L"appshopdalibao|o3|http://offers/gift.html|||320|200|5|0|0");
    ASSERT_TRUE(PumpUntil([&] { return !page.calls.empty(); }));
    ASSERT_EQ(page.calls.size(), 1u);
    EXPECT_TRUE(::IsWindowVisible(window.hwnd()));
}

TEST_F(PushWindowTest, ASlowOfferCheckDoesNotHoldTheWindow) {
    CheckServer slow;
    PushContext context = slow.Context();
    context.post = [](const std::wstring&, std::wstring& text) {
        ::Sleep(3000);  // a message server that takes its time
        text = L"{\"result\":0}";
        return 0;
    };
    CMsgDlg window(launcher_.hwnd(), context);
    ASSERT_TRUE(window.Create());
    ScriptedPage page(window);
    window.SetScriptCaller(&page);
    const auto start = std::chrono::steady_clock::now();
    SendTextMessage(window.hwnd(), msg::kPushShow, 1, L"appshopdalibao|o8|http://offers/gift.html|||320|200|5|0|0");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);  // the 1029 handler returned at once
    EXPECT_FALSE(::IsWindowVisible(window.hwnd()));
    ASSERT_TRUE(PumpUntil([&] { return !page.calls.empty(); }));
    EXPECT_TRUE(::IsWindowVisible(window.hwnd()));
    window.Destroy();
}

TEST_F(PushWindowTest, ARecordWithAnAddressOtherThanHttpIsRetiredUnshown) {
    for (const wchar_t* record : {L"|b5||http://img/b.png|javascript:external.OpenUrl('x')|0|0|9|0|0",
                                  L"|b6||file:///C:/Windows/win.ini|http://link|0|0|9|0|0",
                                  L"appshopdalibao|o6|javascript:alert(1)|||400|300|3|0|0",
                                  L"appshopdalibao|o7|http://offers/\x07gift.html|||400|300|3|0|0"}) {
        window_.ShowRecord(record);
    }
    EXPECT_TRUE(page_.calls.empty());
    EXPECT_TRUE(server_.urls.empty());  // not even the offer check
    EXPECT_FALSE(::IsWindowVisible(window_.hwnd()));
    EXPECT_EQ(launcher_.retired, (std::vector<std::wstring>{L"b5", L"b6", L"o6", L"o7"}));
}

TEST_F(PushWindowTest, OpenUrlOpensTheBannersLinkOncePerClickAtMostOnceASecond) {
    window_.ShowRecord(L"|b7||http://img/b.png|http://link/x|0|0|9|0|0");
    ASSERT_EQ(page_.lastArgs.size(), 2u);
    const std::wstring token = page_.lastArgs[1];
    EXPECT_EQ(token.size(), 32u);
    // Without the token, with another, with another address: nothing.
    EXPECT_EQ(CallExternal(window_.External(), L"OpenUrl", {L"http://link/x"}), S_OK);
    window_.ShowRecord(L"|b7||http://img/b.png|http://link/x|0|0|9|0|0");
    EXPECT_EQ(CallExternal(window_.External(), L"OpenUrl", {L"http://link/x", L"guess"}), S_OK);
    window_.ShowRecord(L"|b7||http://img/b.png|http://link/x|0|0|9|0|0");
    EXPECT_EQ(CallExternal(window_.External(), L"OpenUrl", {L"http://elsewhere/", page_.lastArgs[1]}), S_OK);
    EXPECT_TRUE(server_.opened.empty());
    // The click: once.
    window_.ShowRecord(L"|b7||http://img/b.png|http://link/x|0|0|9|0|0");
    const std::wstring clickToken = page_.lastArgs[1];
    EXPECT_NE(clickToken, token);
    EXPECT_EQ(CallExternal(window_.External(), L"OpenUrl", {L"http://link/x", clickToken}), S_OK);
    EXPECT_EQ(CallExternal(window_.External(), L"OpenUrl", {L"http://link/x", clickToken}), S_OK);
    EXPECT_EQ(server_.opened, (std::vector<std::wstring>{L"http://link/x"}));
    // A second click within the second opens nothing; after it, it does.
    window_.ShowRecord(L"|b7||http://img/b.png|http://link/x|0|0|9|0|0");
    EXPECT_EQ(CallExternal(window_.External(), L"OpenUrl", {L"http://link/x", page_.lastArgs[1]}), S_OK);
    EXPECT_EQ(server_.opened.size(), 1u);
    ::Sleep(kOpenUrlSpacingMs + 50);
    window_.ShowRecord(L"|b7||http://img/b.png|http://link/x|0|0|9|0|0");
    EXPECT_EQ(CallExternal(window_.External(), L"OpenUrl", {L"http://link/x", page_.lastArgs[1]}), S_OK);
    EXPECT_EQ(server_.opened.size(), 2u);
}

TEST(PushWindowRules, OnlyWebAddressesAreOpened) {
    const struct {
        const wchar_t* url;
        bool opens;
    } cases[] = {
        {L"http://example.com/x", true}, {L"HTTPS://example.com", true}, {L" http://a", true},
        {L"http://", false},             {L"file:///C:/Windows/notepad.exe", false},
        {L"http://a\r\nb", false},       {L"java\nscript:alert(1)", false},
        {L"C:\\Windows\\system32\\cmd.exe", false}, {L"cmd.exe", false}, {L"javascript:alert(1)", false},
        {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsWebAddress(c.url), c.opens) << Narrow(c.url);
}

TEST(PushWindowRules, TheMachineIdentifierGoesOnlyToTheServicesHosts) {
    const std::vector<std::wstring> hosts =
        IdentifierHosts({L"http://pc.test:8080/", L"https://MSG.test", L"not an address"});
    EXPECT_EQ(hosts, (std::vector<std::wstring>{L"pc.test", L"msg.test"}));
    const struct {
        const wchar_t* url;
        bool gets;
    } cases[] = {
        {L"http://pc.test/offer.html", true},       {L"https://msg.test:444/o?x=1", true},
        {L"http://offers.test/offer.html", false},   {L"http://pc.test.offers.test/", false},
        {L"http://offers.test/?u=http://pc.test/", false}, {L"javascript:1", false}, {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(MayReceiveMachineId(c.url, hosts), c.gets) << Narrow(c.url);
}

TEST_F(PushWindowTest, AnOfferPageOnAnotherHostGetsNoMachineIdentifier) {
    window_.ShowRecord(L"appshopdalibao|o9|http://elsewhere.test/gift.html|||400|300|3|0|0");
    ASSERT_TRUE(PumpUntil([&] { return !page_.calls.empty(); }));
    EXPECT_EQ(page_.calls[0], L"setUrl(o9|http://elsewhere.test/gift.html|400|300|XA9||9|P7||3)");
}

TEST(PushWindowRules, SystemStringsTravelWhole) {
    EXPECT_EQ(MessageText(0), L"");
    const std::wstring text(L"a|b\0c|\x6f9c", 7);
    BSTR value = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    EXPECT_EQ(MessageText(reinterpret_cast<LPARAM>(value)), text);
    ::SysFreeString(value);
}

}  // namespace
}  // namespace mf::ui
