// The launcher window with the real branded engine and nginx, met as a
// person meets it: found on screen, closed, its notification-area icon
// hovered and clicked, its pixels and controls read back.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <map>

#include "base/files.h"
#include "base/strings.h"
#include "support/engine_runner.h"
#include "support/test_servers.h"
#include "ui/launcher_rules.h"
#include "ui/launcher_window.h"

namespace mf {
namespace {

using namespace std::chrono_literals;

std::string List(const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update>\r\n" + entries + "</update>\r\n";
}

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    auto* s = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (owner == s->processId && ::lstrcmpW(name, s->className) == 0 && (!s->visibleOnly || ::IsWindowVisible(window))) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

// The top-level window of the class that the process owns.
HWND FindProcessWindow(DWORD processId, const wchar_t* className, bool visibleOnly = true) {
    WindowSearch search{processId, className, visibleOnly, nullptr};
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &got))
        return {};
    return text;
}

class LauncherWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        name_ = site_.name();
        exe_ = folder_ / L"mirefold.exe";
        marker_ = folder_ / L"main-started.txt";
        release_[L"main.cmd"] = "@echo started> \"" + Narrow(marker_) + "\"\r\n";
        release_[L"data\\bank1.dat"] = std::string(70000, 'q');
        release_[L"data\\sub\\bank2.dat"] = "second bank\r\n";
    }
    void PublishRelease() {
        std::string entries;
        for (const auto& [path, content] : release_) {
            ASSERT_TRUE(site_.Publish(path, content));
            entries += "<file path=\"" + Narrow(path) + "\" ver=\"" + std::to_string(content.size()) + "\"/>\r\n";
        }
        ASSERT_TRUE(site_.Publish(L"update.xml", List(entries)));
        ASSERT_TRUE(site_.Publish(L"main.xml", List("")));
    }
    // `limited`: the files come through nginx's rate-limited location, so
    // that the update takes a few seconds.
    void Brand(bool computer, const std::string& mirefold = "", bool limited = false) {
        std::string list = site_.Url(L"update.xml");
        if (limited) list.insert(Narrow(test::ServerUrl(L"nginx")).size(), "limited/");
        const std::string config = "[Mirefold]\r\nLog=inst.log\r\nQuickCheck=0\r\n" + mirefold +
                                   "[APPLICATION]\r\nName=" + Narrow(name_) +
                                   "\r\nApplication=main.cmd\r\nIsComputer=" + (computer ? "1" : "0") +
                                   "\r\nPracticeCenterURL=" + site_.Url(L"pc") + "\r\n[UPDATEINFO]\r\nListURL=" + list +
                                   "\r\nMainListURL=" + site_.Url(L"main.xml") + "\r\n";
        ASSERT_TRUE(test::BrandEngine(config, exe_));
    }
    test::ChildProcess Start(const std::wstring& arguments) {
        return test::ChildProcess::Start(L"\"" + exe_ + L"\" " + arguments);
    }
    HWND WaitForLauncher(const test::ChildProcess& engine, std::chrono::milliseconds timeout = 30s) {
        HWND found = nullptr;
        test::WaitUntil([&] { return (found = FindProcessWindow(engine.id(), ui::kLauncherClass)) != nullptr; },
                        timeout);
        return found;
    }
    void ExpectInstalledRelease() const {
        for (const auto& [path, content] : release_)
            EXPECT_TRUE(test::ReadFileBytes(site_.Folder() + path) == content) << Narrow(path);
    }
    std::string Log() const { return test::ReadFileBytes(site_.Folder() + L"inst.log"); }

    test::TempFolder folder_;
    test::ProductSite site_{L"launcher-e2e"};
    std::wstring name_, exe_, marker_;
    std::map<std::wstring, std::string> release_;
};

TEST_F(LauncherWindowTest, ComputerVariantCachesWithItsLoadingPageAndStartsTheMainProgram) {
    PublishRelease();
    Brand(true);
    test::ChildProcess engine = Start(L"mostsimple");
    ASSERT_TRUE(engine.started());
    const HWND launcher = WaitForLauncher(engine);
    ASSERT_NE(launcher, nullptr) << Log();
    EXPECT_TRUE(test::WaitUntil([&] { return ::IsZoomed(launcher) != FALSE; }, 5s));
    const HWND panel = ::GetDlgItem(launcher, ui::kBrowserHostId);
    ASSERT_NE(panel, nullptr);
    const HWND bar = ::GetDlgItem(panel, ui::kProgressBarId);
    const HWND line = ::GetDlgItem(panel, ui::kProgressLineId);
    for (int id : {ui::kProgressBarId, ui::kPictureId, ui::kProgressLineId})
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
                const std::wstring text = TextOf(line);
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
    EXPECT_TRUE(test::WaitUntil([&] { return FileExists(marker_); }, 20s)) << Log();
}

}  // namespace
}  // namespace mf
