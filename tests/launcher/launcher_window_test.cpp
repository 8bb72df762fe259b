// The launcher window with the real branded engine and nginx, met as a
// person meets it: found on screen, closed, its notification-area icon
// hovered and clicked, its pixels and controls read back.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "base/files.h"
#include "base/handles.h"
#include "base/messages.h"
#include "base/strings.h"
#include "support/end_to_end.h"
#include "support/immutable_path.h"
#include "support/notification_area.h"
#include "support/window_driver.h"
#include "ui/launcher_rules.h"
#include "ui/launcher_window.h"
#include "ui/resource_ids.h"

namespace mf {
namespace {

using namespace std::chrono_literals;

class LauncherWindowTest : public test::EndToEndTest {
protected:
    LauncherWindowTest() : EndToEndTest(L"launcher-e2e") {}
    void PublishRelease() { EndToEndTest::PublishRelease(release_); }
    // `limited`: the files come through nginx's rate-limited location, so
    // that the update takes a few seconds.
    void Brand(bool computer, const std::function<void(test::EngineIni&)>& adjust = {}, bool limited = false) {
        test::EngineIni ini = ProductIni();
        ini.Remove(L"Mirefold", L"ShowWhenCheck").Set(L"Mirefold", L"QuickCheck", 0);
        ini.Set(L"APPLICATION", L"IsComputer", computer ? 1 : 0)
            .Set(L"APPLICATION", L"PracticeCenterURL", Widen(Url(L"pc")));
        if (limited) ini.Set(L"UPDATEINFO", L"ListURL", Widen(Url(L"update.xml", L"limited/")));
        if (adjust) adjust(ini);
        EndToEndTest::Brand(ini);
    }
    HWND WaitForLauncher(const test::ChildProcess& engine, std::chrono::milliseconds timeout = 30s) {
        HWND found = nullptr;
        test::WaitUntil([&] { return (found = test::FindTopLevel(engine.id(), ui::kLauncherClass)) != nullptr; },
                        timeout);
        return found;
    }
    void ExpectInstalledRelease() const { ExpectInstalled(release_); }

    test::Release release_ = test::SmallRelease(marker_);
};

// The one icon that is not among those seen before; null while there is
// none or more than one (another engine's run shows its own icon for a while).
HWND NewTrayIcon(const std::vector<HWND>& before) {
    HWND found = nullptr;
    for (HWND icon : test::TrayIcons()) {
        if (std::find(before.begin(), before.end(), icon) != before.end()) continue;
        if (found != nullptr) return nullptr;
        found = icon;
    }
    return found;
}

// A person's click at the icon's centre.
void Click(HWND icon, bool right) {
    test::RaiseTray();
    test::ClickAt(test::ScreenCentreOf(icon), right);
}

TEST_F(LauncherWindowTest, ComputerVariantCachesWithItsLoadingPageAndStartsTheMainProgram) {
    PublishRelease();
    Brand(true);
    test::ChildProcess engine = Start(L"mostsimple");
    ASSERT_TRUE(engine.started());
    const HWND launcher = WaitForLauncher(engine);
    ASSERT_NE(launcher, nullptr) << Log();
    EXPECT_TRUE(test::WaitUntil([&] { return ::IsZoomed(launcher) != FALSE; }, 5s));
    const HWND panel = ::GetDlgItem(launcher, IDC_LAUNCHER_HOST);
    ASSERT_NE(panel, nullptr);
    const HWND bar = ::GetDlgItem(panel, IDC_LAUNCHER_PROGRESS);
    const HWND line = ::GetDlgItem(panel, IDC_LAUNCHER_LINE);
    for (int id : {IDC_LAUNCHER_PROGRESS, IDC_LAUNCHER_PICTURE, IDC_LAUNCHER_LINE})
        EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(panel, id))) << id;

    // The bar as the window shows it, until the window is gone.
    LRESULT highest = 0;
    std::wstring lastLine;
    test::WaitUntil(
        [&] {
            DWORD_PTR position = 0;
            if (::SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position)) {
                EXPECT_GE(static_cast<LRESULT>(position), highest);  // never back
                highest = std::max<LRESULT>(highest, static_cast<LRESULT>(position));
                const std::wstring text = test::TextOf(line);
                if (!text.empty()) lastLine = text;
            }
            return !::IsWindow(launcher);
        },
        60s, 20ms);
    EXPECT_EQ(highest, 1000) << Log();
    EXPECT_EQ(lastLine, ui::ProgressLineText(100));
    ASSERT_TRUE(engine.Wait(30s)) << Log();  // the process ends by itself
    EXPECT_EQ(engine.ExitCode(), static_cast<DWORD>(release_.size()));
    ExpectInstalledRelease();
    EXPECT_TRUE(MainProgramStarted()) << Log();
}

TEST_F(LauncherWindowTest, ClosedDuringTheUpdateItHidesToTheIconThatBringsItBackAndExitsOnYes) {
    // A release that takes a few seconds through the rate-limited location.
    release_[L"media\\lesson.bin"] = std::string(16 * 1024 * 1024, 'm');
    PublishRelease();
    Brand(false, {}, true);
    const std::vector<HWND> iconsBefore = test::TrayIcons();
    test::ChildProcess engine = Start(L"mostsimple");
    ASSERT_TRUE(engine.started());
    const HWND launcher = WaitForLauncher(engine);
    ASSERT_NE(launcher, nullptr) << Log();
    HWND icon = nullptr;
    ASSERT_TRUE(test::WaitUntil([&] { return (icon = NewTrayIcon(iconsBefore)) != nullptr; }, 30s));

    // The practice center does not load here (no HTML engine): its
    // navigation error starts the update.
    ASSERT_TRUE(test::WaitUntil(
        [&] { return reinterpret_cast<INT_PTR>(::GetPropW(launcher, L"mirefold.needmsg")) == 1974; }, 30s))
        << Log();
    // Closing while the worker runs hides the window; the update goes on.
    ::PostMessageW(launcher, WM_CLOSE, 0, 0);
    EXPECT_TRUE(test::WaitUntil([&] { return !::IsWindowVisible(launcher); }, 5s));
    EXPECT_EQ(test::FindMessageBox(engine.id()), nullptr);
    const std::wstring during = test::HoverTooltip(icon);
    EXPECT_TRUE(during == ui::kProductTitle || during.rfind(L"澜石题库（正在缓存数据 ", 0) == 0)
        << Narrow(during, CodePage::Utf8);
    // A click on the icon brings it back.
    Click(icon, false);
    EXPECT_TRUE(test::WaitUntil([&] { return ::IsWindowVisible(launcher) != FALSE; }, 5s));

    // The update ends; the window stays open for the practice center.
    ASSERT_TRUE(test::WaitUntil([&] { return test::TextOf(launcher) == ui::kCachedTitle; }, 90s)) << Log();
    ExpectInstalledRelease();
    EXPECT_EQ(test::HoverTooltip(icon), ui::kCachedTitle);
    EXPECT_TRUE(::IsWindow(launcher));

    // The icon's menu: "退出" asks, and Yes ends the run.
    Click(icon, true);
    HWND menu = nullptr;
    ASSERT_TRUE(test::WaitUntil([&] { return (menu = test::FindTopLevel(engine.id(), L"#32768")) != nullptr; }, 5s));
    test::PressKey(VK_UP);  // the last item
    test::PressKey(VK_RETURN);
    EXPECT_EQ(test::AnswerMessageBox(engine.id(), IDYES), ui::kExitQuestion);
    ASSERT_TRUE(engine.Wait(20s)) << Log();
    EXPECT_EQ(engine.ExitCode(), static_cast<DWORD>(release_.size()));
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            const std::vector<HWND> icons = test::TrayIcons();
            return std::find(icons.begin(), icons.end(), icon) == icons.end();
        },
        5s));  // the icon went with the run
}

TEST_F(LauncherWindowTest, CheckFormEndsWithTheCountAsExitCode) {
    PublishRelease();
    Brand(false, [](test::EngineIni& ini) { ini.Set(L"Mirefold", L"ShowWhenCheck", 1); });
    test::ChildProcess engine = Start(L"checkforupdates");
    ASSERT_TRUE(engine.started());
    EXPECT_NE(WaitForLauncher(engine), nullptr) << Log();
    ASSERT_TRUE(engine.Wait(60s)) << Log();
    EXPECT_EQ(engine.ExitCode(), static_cast<DWORD>(release_.size())) << Log();
    EXPECT_FALSE(FileExists(Folder() + L"main.cmd"));  // nothing installed
}

// Without the browser control (its library refused to load) the window says
// so once, shows its own loading view and still updates; outside the
// computer variant it stays open at the end, and closing it then asks.
TEST_F(LauncherWindowTest, WithoutTheBrowserControlTheUpdateRunsInItsOwnLoadingView) {
    // Wine's per-program setting keeps the browser's library from loading
    // into an engine of this name only.
    exe_ = folder_ / L"nobrowser.exe";
    const wchar_t* key = L"Software\\Wine\\AppDefaults\\nobrowser.exe\\DllOverrides";
    UniqueRegKey overrides;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, overrides.put(), nullptr),
              ERROR_SUCCESS);
    for (const wchar_t* library : {L"ieframe", L"shdocvw"})
        ::RegSetValueExW(overrides.get(), library, 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
    struct RemoveAtEnd {
        const wchar_t* key;
        ~RemoveAtEnd() { ::RegDeleteKeyW(HKEY_CURRENT_USER, key); }
    } removeAtEnd{key};
    PublishRelease();
    Brand(false);
    test::ChildProcess engine = Start(L"mostsimple");
    ASSERT_TRUE(engine.started());
    const HWND launcher = WaitForLauncher(engine);
    ASSERT_NE(launcher, nullptr) << Log();
    const HWND panel = ::GetDlgItem(launcher, IDC_LAUNCHER_HOST);
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(panel, IDC_LAUNCHER_PROGRESS)));
    ASSERT_TRUE(test::WaitUntil([&] { return test::TextOf(launcher) == ui::kCachedTitle; }, 60s)) << Log();
    ExpectInstalledRelease();
    const std::string log = Log();
    const std::size_t said = log.find("The web browser control cannot be created");
    EXPECT_NE(said, std::string::npos) << log;
    EXPECT_EQ(log.find("The web browser control cannot be created", said + 1), std::string::npos) << log;

    ::PostMessageW(launcher, WM_CLOSE, 0, 0);
    EXPECT_EQ(test::AnswerMessageBox(engine.id(), IDYES), ui::kExitQuestion);
    ASSERT_TRUE(engine.Wait(20s)) << Log();
    EXPECT_EQ(engine.ExitCode(), static_cast<DWORD>(release_.size()));
}

// A target the user may not write: the worker's end relaunches the engine
// elevated with the update list saved, and the elevated instance carries
// the update on in its own launcher window without checking again.
TEST_F(LauncherWindowTest, AccessDeniedTargetRelaunchesElevatedWithTheListSaved) {
    PublishRelease();
    Brand(true);
    const std::wstring sealedPath = Folder() + L"data\\sub\\bank2.dat";
    ASSERT_TRUE(test::WriteFileBytes(sealedPath, "old bank\r\n"));
    test::ImmutablePath sealed(sealedPath);
    if (!sealed.made()) GTEST_SKIP() << Narrow(sealed.reason());

    test::ChildProcess engine = Start(L"mostsimple");
    ASSERT_TRUE(engine.started());
    ASSERT_TRUE(engine.Wait(60s)) << Log();
    // The elevated instance ends by itself too (its computer variant).
    ASSERT_TRUE(test::WaitForProgramToEnd(exe_, 60s)) << Log();
    const std::string log = Log();
    EXPECT_NE(log.find("request administrator privileges to continue"), std::string::npos) << log;
    EXPECT_NE(log.find("continue update as administrator"), std::string::npos) << log;
    // Two runs in the launcher (a background refresh may add one of its
    // own); the second does not trust the saved list's content: it checks
    // the server again and keeps what the server's list also holds.
    const std::string launcherRun = "Run mode [mostsimple]";
    std::size_t runs = 0, checks = 0;
    for (std::size_t at = log.find(launcherRun); at != std::string::npos; at = log.find(launcherRun, at + 1)) ++runs;
    for (std::size_t at = log.find("try to download the list file"); at != std::string::npos;
         at = log.find("try to download the list file", at + 1))
        ++checks;
    EXPECT_EQ(runs, 2u) << log;
    EXPECT_EQ(checks, 2u) << log;
    // What it could write, it wrote.
    EXPECT_EQ(test::ReadFileBytes(Folder() + L"data\\bank1.dat"), release_[L"data\\bank1.dat"]);
}

}  // namespace
}  // namespace mf

namespace mf {
namespace {

// The update center opens a launcher for each update in the same engine: a
// launcher left during its update leaves its worker running, and the next
// launcher's update must still end (it waits for that worker and finds the
// update done) instead of keeping its loading view for ever.
TEST_F(LauncherWindowTest, ALauncherOpenedAgainFromTheUpdateCenterEndsWhileTheLeftWorkerRuns) {
    // A release that takes several seconds through the rate-limited
    // location: the second launcher comes while the first worker still runs.
    release_[L"media\\lesson.bin"] = std::string(32 * 1024 * 1024, 'm');
    PublishRelease();
    Brand(false, [](test::EngineIni& ini) { ini.Set(L"Mirefold", L"CheckTmSpan", 30); }, true);
    test::ChildProcess engine = Start(L"tryicon");
    ASSERT_TRUE(engine.started());
    const HWND center = test::WaitForTopLevel(engine.id(), L"#32770", 60s, L"Update Center");
    ASSERT_NE(center, nullptr) << Log();
    auto openLauncher = [&] {
        HWND found = nullptr;
        for (int attempt = 0; attempt < 5 && found == nullptr; ++attempt) {
            ::SetForegroundWindow(center);
            test::ClickAt(test::ScreenCentreOf(::GetDlgItem(center, IDC_CENTER_UPDATE)));
            test::WaitUntil([&] { return (found = test::FindTopLevel(engine.id(), ui::kLauncherClass)) != nullptr; },
                            2s);
        }
        if (found != nullptr) {
            test::WaitUntil(
                [&] { return reinterpret_cast<INT_PTR>(::GetPropW(found, L"mirefold.needmsg")) == 1974; }, 30s);
        }
        return found;
    };
    ASSERT_TRUE(test::WaitUntil([&] { return ::IsWindowVisible(center) != FALSE; }, 30s));
    const HWND first = openLauncher();
    ASSERT_NE(first, nullptr) << Log();
    // Its icon's "退出", answered Yes, while the worker downloads.
    ::PostMessageW(first, msg::kLauncherTrayIcon, ui::kTrayIconId, WM_RBUTTONUP);
    ASSERT_NE(test::WaitForTopLevel(engine.id(), L"#32768", 5s), nullptr);
    test::PressKey(VK_UP);
    test::PressKey(VK_RETURN);
    EXPECT_EQ(test::AnswerMessageBox(engine.id(), IDYES), ui::kExitQuestion);
    ASSERT_TRUE(test::WaitUntil([&] { return !::IsWindow(first); }, 10s)) << Log();

    ASSERT_TRUE(test::WaitUntil([&] { return ::IsWindowVisible(center) != FALSE; }, 10s)) << Log();
    const HWND second = openLauncher();
    ASSERT_NE(second, nullptr) << Log();
    // Its worker has started; the first one has not installed yet.
    ASSERT_FALSE(FileExists(Folder() + L"media\\lesson.bin")) << Log();
    EXPECT_TRUE(test::WaitUntil([&] { return test::TextOf(second) == ui::kCachedTitle; }, 60s)) << Log();
    ExpectInstalledRelease();
}

}  // namespace
}  // namespace mf
