// Push messages with the real branded engine, its launcher window and the
// message server (tools/servers/messageserver.py): an offer due at start-up
// is not shown while the window's page has not loaded (under Wine no page
// ever loads), a message server that fails leaves the launcher working with
// nothing shown, and with web services off it is never asked. Placing,
// offer checks and retiring are tested through a scripted stand-in of the
// page (tests/ui), the page itself in Chromium (tests/pushpage).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/files.h"
#include "base/strings.h"
#include "support/end_to_end.h"
#include "support/test_servers.h"
#include "support/test_support.h"
#include "support/window_driver.h"
#include "ui/launcher_rules.h"
#include "ui/launcher_window.h"

namespace mf {
namespace {

using namespace std::chrono_literals;

// The push-message window: a visible dialog of the process that holds the
// embedded browser.
HWND FindPushWindow(DWORD processId) {
    for (HWND dialog : test::TopLevelWindows(processId, L"#32770"))
        if (test::FindDescendant(dialog, L"MirefoldBrowserHost") != nullptr) return dialog;
    return nullptr;
}

std::string OfferRecord(const std::string& id, int position, int width, int height, int x, int y) {
    return "{\"MsgId\":\"" + id +
           "\",\"StarDelayNum\":0,\"PushNum\":1,\"PushInterval\":60,\"MsgUrl\":\"http://127.0.0.1:9/offer.html\","
           "\"eleUrl\":\"\",\"eleTransUrl\":\"\",\"MsgEndDate\":\"2099-12-31\",\"timeType\":0,\"timeValue\":\"\","
           "\"Position\":" + std::to_string(position) + ",\"pageWidth\":" + std::to_string(width) +
           ",\"pageHeight\":" + std::to_string(height) + ",\"xOffset\":" + std::to_string(x) +
           ",\"yOffset\":" + std::to_string(y) + ",\"task\":\"appshopdalibao\",\"taskMemo\":\"\"}";
}

class PushMessagesTest : public test::EndToEndTest {
protected:
    PushMessagesTest() : EndToEndTest(L"push-e2e") {}
    void SetUp() override {
        server_ = Narrow(test::ServerUrl(L"messageserver"));
        ASSERT_FALSE(server_.empty()) << "the message server is not running";
        // The plan id names this test's message list on the server.
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        plan_ = std::string("push-") + info->name();
        PublishRelease({{L"main.cmd", "@echo main\r\n"}});
    }
    void TearDown() override {
        if (engine_.started()) engine_.Kill();
    }
    std::wstring StatePath(const std::string& relative) const {
        return test::BuildPath(L"servers\\messageserver\\" + Widen(relative));
    }
    void ServeMessages(const std::string& records) {
        ASSERT_TRUE(test::WriteFileBytes(StatePath("messages\\" + plan_ + ".json"),
                                         "{\"Code\":0,\"Data\":[" + records + "]}"));
    }
    // `messageServer`: the server's address with any switches.
    // `webServices` false: the switch that turns them off.
    void StartLauncher(const std::string& messageServer, bool webServices = true) {
        test::EngineIni ini = ProductIni();
        ini.Remove(L"Mirefold", L"ShowWhenCheck").Set(L"Mirefold", L"QuickCheck", 0);
        ini.Set(L"APPLICATION", L"IsComputer", 0)
            .Set(L"APPLICATION", L"PlanId", Widen(plan_))
            .Set(L"APPLICATION", L"PracticeCenterURL", Widen(Url(L"pc")))
            .Set(L"APPLICATION", L"MessageServerURL", Widen(messageServer));
        if (!webServices) ini.Set(L"APPLICATION", L"WebServices", 0);
        Brand(ini);
        engine_ = Start(L"mostsimple");
        ASSERT_TRUE(engine_.started());
        ASSERT_TRUE(test::WaitUntil(
            [&] { return (launcher_ = test::FindTopLevel(engine_.id(), ui::kLauncherClass)) != nullptr; }, 30s))
            << Log();
    }
    // Messages show only over the launcher in front: the person looks at it
    // (other tests' windows may come and go meanwhile).
    void LookAtLauncher() const {
        if (::GetForegroundWindow() != launcher_) ::SetForegroundWindow(launcher_);
    }
    std::string Requests() const { return test::ReadFileBytes(StatePath("requests.log")); }
    bool Requested(const std::string& part) const { return Requests().find(part) != std::string::npos; }

    std::string server_, plan_;
    test::ChildProcess engine_;
    HWND launcher_ = nullptr;
};

// Under Wine the window's own page never loads: a window shown all the
// same would be a blank topmost square with no close button, back at every
// due time. Nothing is shown, and no offer is checked for it.
TEST_F(PushMessagesTest, AnOfferDueAtStartUpIsNotShownWhileTheWindowsPageHasNotLoaded) {
    ServeMessages(OfferRecord("offer-1", 3, 400, 300, -8, 12));
    StartLauncher(server_);
    ASSERT_TRUE(test::WaitUntil([&] { return Log().find("Push messages: 1 read.") != std::string::npos; }, 30s))
        << Log() << Requests();
    EXPECT_TRUE(Requested(
        "/App/MessageHandler/PushMessage.ashx?method=GetPushMessage&terminalNo=1&platNum=3&productId=" + plan_ +
        "&Code="))
        << Requests();
    // Due at once; the scheduler looks every second.
    EXPECT_FALSE(test::WaitUntil(
        [&] {
            LookAtLauncher();
            return FindPushWindow(engine_.id()) != nullptr;
        },
        5s));
    EXPECT_FALSE(Requested("CheckPackage&mac=")) << Requests();
    // The launcher works on: the update ends and the window stays open.
    EXPECT_TRUE(test::WaitUntil([&] { return test::TextOf(launcher_) == ui::kCachedTitle; }, 60s)) << Log();
    EXPECT_EQ(FindPushWindow(engine_.id()), nullptr);
}

TEST_F(PushMessagesTest, WithWebServicesOffNothingAsksTheMessageServer) {
    ServeMessages(OfferRecord("offer-4", 5, 400, 300, 0, 0));
    StartLauncher(server_, false);
    EXPECT_TRUE(test::WaitUntil([&] { return test::TextOf(launcher_) == ui::kCachedTitle; }, 60s)) << Log();
    EXPECT_NE(Log().find("Web services are off (WebServices=0)"), std::string::npos) << Log();
    EXPECT_FALSE(Requested(plan_)) << Requests();
}

TEST_F(PushMessagesTest, AFailedMessageRequestLeavesTheLauncherWorkingWithNothingShown) {
    ServeMessages(OfferRecord("offer-3", 5, 400, 300, 0, 0));
    StartLauncher(server_ + "delay=2000/cut");  // late, then the connection closes without an answer
    ASSERT_TRUE(test::WaitUntil([&] { return Log().find("Push messages: 0 read.") != std::string::npos; }, 30s))
        << Log() << Requests();
    // The update runs to its end in the launcher; nothing is ever shown.
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            LookAtLauncher();
            return test::TextOf(launcher_) == ui::kCachedTitle;
        },
        60s))
        << Log();
    test::WaitUntil([] { return false; }, 2s);
    EXPECT_TRUE(::IsWindowVisible(launcher_));
    EXPECT_EQ(FindPushWindow(engine_.id()), nullptr);
    EXPECT_FALSE(Requested("CheckPackage&mac=") && Requested("productID=" + plan_)) << Requests();
}

}  // namespace
}  // namespace mf
