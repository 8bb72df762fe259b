// The update center dialog in this process, with a check and an update of
// the test's own and a clock the test moves: found on screen, its links
// hovered and clicked where it paints them, its pixels read back.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "base/messages.h"
#include "base/strings.h"
#include "support/engine_fixture.h"
#include "support/window_driver.h"
#include "ui/resource_ids.h"
#include "ui/update_center.h"
#include "ui/update_center_rules.h"

namespace mf::ui {
namespace {

using namespace std::chrono_literals;

constexpr long long kStart = 1'800'000'000;

// The artwork's colours, within what its tools' colour handling moves them.
bool Near(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= 12 && std::abs(GetGValue(a) - GetGValue(b)) <= 12 &&
           std::abs(GetBValue(a) - GetBValue(b)) <= 12;
}

class UpdateCenterTest : public test::EngineFixture {
protected:
    void TearDown() override {
        ::SetEvent(releaseCheck_);
        // The icon menu's "Exit".
        if (dialog_ != nullptr && ::IsWindow(dialog_)) ::SendMessageW(dialog_, WM_COMMAND, ID_CENTER_EXIT, 0);
        if (thread_.joinable()) thread_.join();
        test::WaitUntil([&] { return checksRunning_.load() == 0; }, 20s);
        ::CloseHandle(releaseCheck_);
        test::EngineFixture::TearDown();
    }

    // Opens the dialog on a thread of its own, as the engine's main thread
    // would run it.
    void Open(const std::string& checkTmSpan, int filesToFind) {
        WriteIni(test::EngineIni()
                     .Set(L"Mirefold", L"CheckTmSpan", Widen(checkTmSpan))
                     .Set(L"APPLICATION", L"Name", L"Question Bank"));
        filesToFind_ = filesToFind;
        UpdateCenterActions actions;
        actions.now = [this] { return clock_.load(); };
        actions.check = [this] {
            ++checksRunning_;
            ++checks_;
            Process().notifications.BroadcastStatus(1, 0);
            if (holdCheck_) ::WaitForSingleObject(releaseCheck_, 20000);
            Process().notifications.BroadcastStatus(3, filesToFind_);
            --checksRunning_;
        };
        actions.update = [this] {
            ++updates_;
            skinDuringUpdate_ = Process().run.skin;
            return UpdateRunEnd{12, 3};
        };
        thread_ = std::thread([actions] { ShowUpdateCenter(actions); });
        ASSERT_TRUE(test::WaitUntil([&] { return (dialog_ = OwnDialog()) != nullptr; }, 10s));
    }

    // This process's pop-up, shown or not (other test programs run theirs
    // at the same time).
    static HWND OwnDialog() {
        for (HWND w = ::FindWindowExW(nullptr, nullptr, L"#32770", L"Update Center"); w != nullptr;
             w = ::FindWindowExW(nullptr, w, L"#32770", L"Update Center")) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner == ::GetCurrentProcessId()) return w;
        }
        return nullptr;
    }

    // A click where the dialog paints the link (its hidden mirror lies there).
    void Click(int mirrorId) {
        const POINT at = CentreOf(mirrorId);
        ::PostMessageW(dialog_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        ::PostMessageW(dialog_, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    }
    void Hover(POINT at) { ::SendMessageW(dialog_, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y)); }
    POINT CentreOf(int mirrorId) const {
        RECT r = MirrorRect(mirrorId);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    RECT MirrorRect(int mirrorId) const {
        RECT r{};
        const HWND mirror = ::GetDlgItem(dialog_, mirrorId);
        ::GetWindowRect(mirror, &r);
        ::MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    std::wstring Text(int id) const { return test::ControlText(dialog_, id); }
    bool Visible() const { return ::IsWindowVisible(dialog_) != FALSE; }
    static long long CountIn(const gui::Pixels& pixels, const RECT& r, COLORREF colour) {
        long long n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += pixels.At(x, y) == colour;
        return n;
    }

    std::thread thread_;
    HWND dialog_ = nullptr;
    std::atomic<long long> clock_{kStart};
    std::atomic<int> checks_{0};
    std::atomic<int> checksRunning_{0};
    std::atomic<int> updates_{0};
    std::atomic<int> filesToFind_{0};
    std::atomic<bool> holdCheck_{false};
    HANDLE releaseCheck_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Skin skinDuringUpdate_ = Skin::Configured;
};

TEST_F(UpdateCenterTest, FoundFilesPopUpInTheCornerWithTheCountdownAndLinksThatHover) {
    Open("30", 3);
    ASSERT_TRUE(test::WaitUntil([&] { return Visible(); }, 10s));
    RECT r{};
    ::GetWindowRect(dialog_, &r);
    const POINT corner = PopUpPosition(SIZE{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)},
                                       SIZE{r.right - r.left, r.bottom - r.top});
    EXPECT_EQ(r.left, corner.x);
    EXPECT_EQ(r.top, corner.y);
    EXPECT_EQ(r.right - r.left, 220);  // the background bitmap's size
    EXPECT_EQ(r.bottom - r.top, 150);
    EXPECT_TRUE(test::WaitForControlText(dialog_, IDC_CENTER_MESSAGE, L"Found 3 files need to update...", 5s));
    EXPECT_TRUE(test::WaitForControlText(dialog_, IDC_CENTER_COUNTDOWN, L"Update after 120 seconds.", 5s));
    EXPECT_EQ(Text(IDC_CENTER_CANCEL), L"Cancel");

    // The pop-up as painted: the orange strip of its bitmap, black links;
    // the link under the mouse turns blue and underlined.
    const RECT update = MirrorRect(IDC_CENTER_UPDATE);
    gui::Pixels before = test::ReadPixels(dialog_);
    ASSERT_FALSE(before.empty());
    EXPECT_TRUE(Near(before.At(100, 1), RGB(219, 88, 0))) << std::hex << before.At(100, 1);
    EXPECT_EQ(CountIn(before, update, RGB(0, 0, 255)), 0);
    EXPECT_GT(CountIn(before, update, RGB(0, 0, 0)), 10);
    Hover(CentreOf(IDC_CENTER_UPDATE));
    gui::Pixels hovered = test::ReadPixels(dialog_);
    EXPECT_GT(CountIn(hovered, update, RGB(0, 0, 255)), 10);
    // The underline: a row of blue below the text.
    RECT underline = update;
    underline.top = update.bottom - 3;
    EXPECT_GE(CountIn(hovered, underline, RGB(0, 0, 255)), (update.right - update.left) / 2);
    // The close cross turns white on orange.
    Hover(POINT{203, 15});
    EXPECT_TRUE(Near(test::ReadPixels(dialog_).At(197, 9), RGB(219, 88, 0)));
    EXPECT_EQ(CountIn(test::ReadPixels(dialog_), update, RGB(0, 0, 255)), 0);

    // "Cancel" takes the countdown away; the pop-up stays.
    Click(IDC_CENTER_CANCEL);
    EXPECT_TRUE(test::WaitForControlText(dialog_, IDC_CENTER_COUNTDOWN, L"", 5s));
    EXPECT_EQ(Text(IDC_CENTER_CANCEL), L"");
    EXPECT_TRUE(Visible());
    // Nothing counts down any more, whatever the time.
    clock_ += 45;
    test::PumpMessages(1200ms);
    EXPECT_EQ(updates_.load(), 0);
}

TEST_F(UpdateCenterTest, CountdownRunsOutIntoTheUpdateInTheSimplestSkinAndTellsItCompleted) {
    Process().run.skin = Skin::Configured;
    Open("30", 3);
    ASSERT_TRUE(test::WaitForControlText(dialog_, IDC_CENTER_COUNTDOWN, L"Update after 120 seconds.", 10s));
    test::PumpMessages(1s);  // the first ten seconds take nothing off
    EXPECT_EQ(Text(IDC_CENTER_COUNTDOWN), L"Update after 120 seconds.");
    clock_ += 59;  // 5 a tick: 0 after 24 ticks
    EXPECT_TRUE(test::WaitUntil([&] { return Text(IDC_CENTER_COUNTDOWN) == L"Update after 115 seconds."; }, 5s, 10ms));
    ASSERT_TRUE(test::WaitUntil([&] { return updates_.load() == 1; }, 20s));
    EXPECT_EQ(skinDuringUpdate_, Skin::MostSimple);
    EXPECT_TRUE(test::WaitForControlText(dialog_, IDC_CENTER_MESSAGE, L"Upgrade is completed", 5s));
    EXPECT_EQ(Process().run.skin, Skin::Configured);
    EXPECT_TRUE(Visible());  // a periodic check is configured: the pop-up stays
    EXPECT_EQ(Text(IDC_CENTER_COUNTDOWN), L"");
    // One update only.
    test::PumpMessages(1s);
    EXPECT_EQ(updates_.load(), 1);
}

TEST_F(UpdateCenterTest, CheckAgainIsIgnoredWhileACheckRunsAndTheNextCheckComesAfterTheInterval) {
    holdCheck_ = true;
    Open("1", 0);
    ASSERT_TRUE(test::WaitForControlText(dialog_, IDC_CENTER_MESSAGE, L"Check update files", 10s));
    ::PostMessageW(dialog_, msg::kUpdateCenterUpdateNow, 0, 0);  // and no update meanwhile
    Click(IDC_CENTER_CHECK);
    Click(IDC_CENTER_UPDATE);
    test::PumpMessages(700ms);
    EXPECT_EQ(checks_.load(), 1);
    EXPECT_EQ(updates_.load(), 0);
    ::SetEvent(releaseCheck_);
    ASSERT_TRUE(test::WaitForControlText(dialog_, IDC_CENTER_MESSAGE, L"Find nothing to update.", 10s));
    EXPECT_FALSE(Visible());  // nothing to say: the icon only
    holdCheck_ = false;
    clock_ += 59;
    test::PumpMessages(1200ms);
    EXPECT_EQ(checks_.load(), 1);
    clock_ += 1;  // one minute since the check started
    EXPECT_TRUE(test::WaitUntil([&] { return checks_.load() == 2; }, 5s));
    // "Check again" starts one at once once the periodic check has ended
    // (the dialog hears of its end by a posted message: a click that comes
    // before that is ignored, as above, so it is repeated).
    ASSERT_TRUE(test::WaitUntil([&] { return checksRunning_.load() == 0; }, 5s));
    for (int attempt = 0; attempt < 10 && checks_.load() < 3; ++attempt) {
        Click(IDC_CENTER_CHECK);
        test::WaitUntil([&] { return checks_.load() >= 3; }, 500ms);
    }
    EXPECT_EQ(checks_.load(), 3);
}

TEST_F(UpdateCenterTest, MinimisedItHidesAndComesBackAtTheSamePlace) {
    Open("30", 2);
    ASSERT_TRUE(test::WaitUntil([&] { return Visible(); }, 10s));
    RECT before{};
    ::GetWindowRect(dialog_, &before);
    ::SendMessageW(dialog_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(test::WaitUntil([&] { return !Visible(); }, 5s));
    ::SendMessageW(dialog_, msg::kUpdateCenterTrayIcon, kUpdateCenterIconId, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(test::WaitUntil([&] { return Visible(); }, 5s));
    RECT after{};
    ::GetWindowRect(dialog_, &after);
    EXPECT_TRUE(::EqualRect(&before, &after));
    EXPECT_FALSE(::IsIconic(dialog_));
}

TEST_F(UpdateCenterTest, WithoutPeriodicChecksItEndsAfterACheckThatFoundNothing) {
    // The check is held until the test has found the dialog: a check that
    // finds nothing ends it, possibly before a loaded machine let us look.
    holdCheck_ = true;
    Open("", 0);
    ::SetEvent(releaseCheck_);
    ASSERT_TRUE(test::WaitUntil([&] { return !::IsWindow(dialog_); }, 10s))
        << Narrow(Text(IDC_CENTER_MESSAGE)) << " checks " << checks_.load() << " span ["
        << Narrow(ReadConfig(L"Mirefold", L"CheckTmSpan")) << "]";
    thread_.join();
    EXPECT_EQ(checks_.load(), 1);
    EXPECT_FALSE(Process().notifications.IsListed(dialog_));
}

}  // namespace
}  // namespace mf::ui
