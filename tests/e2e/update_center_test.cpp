// The update center ("tryicon") with the real branded engine and nginx, met
// as a person meets it: the pop-up found on screen, its links clicked where
// it paints them, the notification-area icon hovered, double-clicked and
// its menu used.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <vector>

#include "base/files.h"
#include "base/strings.h"
#include "support/engine_runner.h"
#include "support/notification_area.h"
#include "support/test_servers.h"
#include "support/window_driver.h"
#include "ui/resource_ids.h"
#include "ui/update_center_rules.h"

namespace mf {
namespace {

using namespace std::chrono_literals;

constexpr wchar_t kDialogClass[] = L"#32770";
constexpr wchar_t kTitle[] = L"Update Center";

class UpdateCenterE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        exe_ = folder_ / L"mirefold.exe";
        marker_ = folder_ / L"main-started.txt";
        release_[L"main.cmd"] = "@echo started> \"" + Narrow(marker_) + "\"\r\n";
        release_[L"data\\bank1.dat"] = std::string(70000, 'q');
        release_[L"data\\sub\\bank2.dat"] = "second bank\r\n";
    }
    void Publish(bool withFiles) {
        std::string entries;
        for (const auto& [path, content] : release_) {
            ASSERT_TRUE(site_.Publish(path, content));
            if (withFiles)
                entries += "<file path=\"" + Narrow(path) + "\" ver=\"" + std::to_string(content.size()) + "\"/>\r\n";
        }
        const auto list = [](const std::string& body) {
            return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update>\r\n" + body + "</update>\r\n";
        };
        ASSERT_TRUE(site_.Publish(L"update.xml", list(entries)));
        ASSERT_TRUE(site_.Publish(L"main.xml", list("")));
    }
    // The computer variant: the update from the pop-up ends by itself in the
    // launcher window, which starts the main program.
    void Brand(const std::string& checkTmSpan, const std::string& listUrl = "") {
        const std::string config = "[Mirefold]\r\nLog=inst.log\r\nQuickCheck=0\r\nCheckTmSpan=" + checkTmSpan +
                                   "\r\n[APPLICATION]\r\nName=" + Narrow(site_.name()) +
                                   "\r\nApplication=main.cmd\r\nIsComputer=1\r\nPracticeCenterURL=" +
                                   site_.Url(L"pc") + "\r\n[UPDATEINFO]\r\nListURL=" +
                                   (listUrl.empty() ? site_.Url(L"update.xml") : listUrl) +
                                   "\r\nMainListURL=" + site_.Url(L"main.xml") + "\r\n";
        ASSERT_TRUE(test::BrandEngine(config, exe_));
    }
    test::ChildProcess Start() { return test::ChildProcess::Start(L"\"" + exe_ + L"\" tryicon"); }
    // The pop-up, shown or not.
    static HWND FindCenter(DWORD processId) {
        for (HWND w = ::FindWindowExW(nullptr, nullptr, kDialogClass, kTitle); w != nullptr;
             w = ::FindWindowExW(nullptr, w, kDialogClass, kTitle)) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner == processId) return w;
        }
        return nullptr;
    }
    // A person's click on a link, where the pop-up paints it (its hidden
    // mirror lies there).
    static void ClickLink(HWND center, int mirrorId) {
        ::SetForegroundWindow(center);
        test::ClickAt(test::ScreenCentreOf(::GetDlgItem(center, mirrorId)));
    }
    void ExpectInstalledRelease() const {
        for (const auto& [path, content] : release_)
            EXPECT_TRUE(test::ReadFileBytes(site_.Folder() + path) == content) << Narrow(path);
    }
    std::string Log() const { return test::ReadFileBytes(site_.Folder() + L"inst.log"); }
    std::wstring Tip(const std::wstring& line) const { return *ui::TooltipFor(site_.name(), line); }
    // The icon that came since `before` and shows this tooltip (other tests
    // add icons of their own meanwhile); null when none does in time.
    static HWND IconWithTip(const std::vector<HWND>& before, const std::wstring& tip) {
        HWND found = nullptr;
        test::WaitUntil(
            [&] {
                for (HWND icon : test::TrayIcons())
                    if (std::find(before.begin(), before.end(), icon) == before.end() && test::HoverTooltip(icon) == tip)
                        return (found = icon) != nullptr;
                return false;
            },
            30s, 200ms);
        return found;
    }

    test::TempFolder folder_;
    test::ProductSite site_{L"update-center-e2e"};
    std::wstring exe_, marker_;
    std::map<std::wstring, std::string> release_;
};

TEST_F(UpdateCenterE2eTest, FoundFilesPopUpCountsDownAndUpdatesFromTheLinkUntilExit) {
    Publish(true);
    Brand("30");
    const std::vector<HWND> iconsBefore = test::TrayIcons();
    test::ChildProcess engine = Start();
    ASSERT_TRUE(engine.started());

    // The check finds 3 files: the pop-up in the bottom-right corner, the
    // message line, the countdown from 120 and the tooltip.
    const HWND center = test::WaitForTopLevel(engine.id(), kDialogClass, 30s, kTitle);
    ASSERT_NE(center, nullptr) << Log();
    RECT shown{};
    ::GetWindowRect(center, &shown);
    const POINT corner = ui::PopUpPosition(SIZE{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)},
                                           SIZE{shown.right - shown.left, shown.bottom - shown.top});
    EXPECT_EQ(shown.left, corner.x);
    EXPECT_EQ(shown.top, corner.y);
    EXPECT_EQ(test::ControlText(center, IDC_CENTER_MESSAGE), L"Found 3 files need to update...");
    EXPECT_TRUE(test::WaitForControlText(center, IDC_CENTER_COUNTDOWN, L"Update after 120 seconds.", 5s));
    const HWND icon = IconWithTip(iconsBefore, Tip(L"Found 3 files need to update..."));
    ASSERT_NE(icon, nullptr);

    // Minimised it hides; the icon's double click brings it back where it was.
    ::PostMessageW(center, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(test::WaitUntil([&] { return !::IsWindowVisible(center); }, 5s));
    // (Other tests add and remove icons meanwhile, which moves ours: a
    // click that missed it is tried again.)
    for (int attempt = 0; attempt < 3 && !::IsWindowVisible(center); ++attempt) {
        test::RaiseTray();
        test::DoubleClickAt(test::ScreenCentreOf(icon));
        test::WaitUntil([&] { return ::IsWindowVisible(center) != FALSE; }, 3s);
    }
    EXPECT_TRUE(::IsWindowVisible(center));
    RECT again{};
    ::GetWindowRect(center, &again);
    EXPECT_TRUE(::EqualRect(&shown, &again));

    // "Cancel" takes the countdown away; the pop-up stays.
    ClickLink(center, IDC_CENTER_CANCEL);
    EXPECT_TRUE(test::WaitForControlText(center, IDC_CENTER_COUNTDOWN, L"", 5s)) << Log();
    EXPECT_TRUE(::IsWindowVisible(center));

    // "Update": the launcher window runs the update, and the pop-up comes
    // back to tell it completed.
    ClickLink(center, IDC_CENTER_UPDATE);
    EXPECT_TRUE(test::WaitUntil([&] { return !::IsWindowVisible(center); }, 5s));
    ASSERT_TRUE(test::WaitForControlText(center, IDC_CENTER_MESSAGE, L"Upgrade is completed", 60s)) << Log();
    EXPECT_TRUE(test::WaitUntil([&] { return ::IsWindowVisible(center) != FALSE; }, 5s));
    ExpectInstalledRelease();
    EXPECT_EQ(test::HoverTooltip(icon), Tip(L"Upgrade is completed"));

    // The icon's menu: "Exit" ends the run.
    HWND menu = nullptr;
    for (int attempt = 0; attempt < 3 && menu == nullptr; ++attempt) {
        test::RaiseTray();
        test::ClickAt(test::ScreenCentreOf(icon), true);
        menu = test::WaitForTopLevel(engine.id(), L"#32768", 3s);
    }
    ASSERT_NE(menu, nullptr);
    test::PressKey(VK_UP);  // the last item
    test::PressKey(VK_RETURN);
    ASSERT_TRUE(engine.Wait(20s)) << Log();
    EXPECT_TRUE(test::WaitUntil([&] { return !::IsWindow(icon); }, 5s));
}

TEST_F(UpdateCenterE2eTest, WithoutPeriodicChecksTheRunEndsAfterACheckThatFoundNothing) {
    Publish(false);
    Brand("");
    test::ChildProcess engine = Start();
    ASSERT_TRUE(engine.started());
    ASSERT_TRUE(engine.Wait(30s)) << Log();
    EXPECT_EQ(engine.ExitCode(), 0u);
    EXPECT_NE(Log().find("Find nothing to update."), std::string::npos) << Log();
}

TEST_F(UpdateCenterE2eTest, AServerOutOfReachIsToldAndTheRunWaitsForTheNextCheck) {
    Publish(true);
    // A port nothing listens on.
    Brand("", "http://127.0.0.1:9/update.xml");
    test::ChildProcess engine = Start();
    ASSERT_TRUE(engine.started());
    HWND center = nullptr;
    ASSERT_TRUE(test::WaitUntil([&] { return (center = FindCenter(engine.id())) != nullptr; }, 30s)) << Log();
    ASSERT_TRUE(test::WaitForControlText(center, IDC_CENTER_MESSAGE, L"Can't connection update server!", 60s))
        << Log();
    // Nothing to show, and the run goes on for the next check.
    EXPECT_FALSE(::IsWindowVisible(center));
    EXPECT_FALSE(engine.Wait(1s));
    ::PostMessageW(center, WM_COMMAND, ID_CENTER_EXIT, 0);
    ASSERT_TRUE(engine.Wait(20s)) << Log();
}

}  // namespace
}  // namespace mf
