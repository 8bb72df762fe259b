// The update center ("tryicon") with the real branded engine and nginx, met
// as a person meets it: the pop-up found on screen, its links clicked where
// it paints them, the notification-area icon hovered, double-clicked and
// its menu used.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/files.h"
#include "base/strings.h"
#include "support/end_to_end.h"
#include "support/notification_area.h"
#include "support/window_driver.h"
#include "ui/resource_ids.h"
#include "ui/update_center_rules.h"

namespace mf {
namespace {

using namespace std::chrono_literals;

constexpr wchar_t kDialogClass[] = L"#32770";
constexpr wchar_t kTitle[] = L"Update Center";

class UpdateCenterE2eTest : public test::EndToEndTest {
protected:
    UpdateCenterE2eTest() : EndToEndTest(L"update-center-e2e") {}
    // The computer variant: the update from the pop-up ends by itself in the
    // launcher window, which starts the main program.
    void Brand(const std::wstring& checkTmSpan, const std::string& listUrl = "") {
        test::EngineIni ini = ProductIni();
        ini.Remove(L"Mirefold", L"ShowWhenCheck")
            .Set(L"Mirefold", L"QuickCheck", 0)
            .Set(L"Mirefold", L"CheckTmSpan", checkTmSpan);
        ini.Set(L"APPLICATION", L"IsComputer", 1).Set(L"APPLICATION", L"PracticeCenterURL", Widen(Url(L"pc")));
        if (!listUrl.empty()) ini.Set(L"UPDATEINFO", L"ListURL", Widen(listUrl));
        EndToEndTest::Brand(ini);
    }
    test::ChildProcess Start() const { return EndToEndTest::Start(L"tryicon"); }
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
    void ExpectInstalledRelease() const { ExpectInstalled(release_); }
    std::wstring Tip(const std::wstring& line) const { return *ui::TooltipFor(name(), line); }
    // The icon that came since `before` and shows this tooltip (other tests
    // add icons of their own meanwhile); null when none does in time.
    static HWND IconWithTip(const std::vector<HWND>& before, const std::wstring& tip) {
        HWND found = nullptr;
        test::WaitUntil(
            [&] {
                for (HWND icon : test::TrayIcons())
                    if (std::find(before.begin(), before.end(), icon) == before.end() &&
                        test::HoverTooltip(icon) == tip)
                        return (found = icon) != nullptr;
                return false;
            },
            30s, 200ms);
        return found;
    }

    test::Release release_ = test::SmallRelease(marker_);
};

TEST_F(UpdateCenterE2eTest, FoundFilesPopUpCountsDownAndUpdatesFromTheLinkUntilExit) {
    PublishRelease(release_);
    Brand(L"30");
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
    PublishRelease({});  // a list without files
    Brand(L"");
    test::ChildProcess engine = Start();
    ASSERT_TRUE(engine.started());
    ASSERT_TRUE(engine.Wait(30s)) << Log();
    EXPECT_EQ(engine.ExitCode(), 0u);
    EXPECT_NE(Log().find("Find nothing to update."), std::string::npos) << Log();
}

TEST_F(UpdateCenterE2eTest, AServerOutOfReachIsToldAndTheRunWaitsForTheNextCheck) {
    PublishRelease(release_);
    // A port nothing listens on.
    Brand(L"", "http://127.0.0.1:9/update.xml");
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
