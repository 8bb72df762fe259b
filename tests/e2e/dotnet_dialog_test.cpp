// The .NET Framework download dialog with the real branded engine and nginx:
// a failed download offers "Download" again, a complete one "Install", and
// the installer it downloaded starts when that is pressed.
#include <gtest/gtest.h>

#include "base/files.h"
#include "base/md5.h"
#include "base/strings.h"
#include "support/end_to_end.h"
#include "support/window_driver.h"

namespace mf {
namespace {

using namespace std::chrono_literals;

constexpr int kView = 144;
constexpr COLORREF kDoneSquare = RGB(219, 88, 0);
constexpr COLORREF kPendingSquare = RGB(226, 226, 232);

class DotNetDialogRun : public test::EndToEndTest {
protected:
    DotNetDialogRun() : EndToEndTest(L"dotnet") {}
    // The list on the site (it is never published), without a main list.
    test::EngineIni Config() const {
        test::EngineIni ini = OfflineIni();
        ini.Set(L"UPDATEINFO", L"ListURL", Widen(Url(L"update.xml")));
        return ini;
    }
    // Where the dialog said it downloads to.
    std::wstring LocalFile() const {
        const std::string log = Log();
        const std::size_t into = log.find(" into ");
        if (into == std::string::npos) return {};
        return Widen(log.substr(into + 6, log.find_first_of("\r\n", into) - into - 6));
    }
};

// The installer the tests serve: unsigned, named by its SHA-256 digest
// where a case configures one.
std::string TestInstaller() {
    return test::ReadFileBytes(test::BuildPath(L"installtest\\mirefold-testmark.exe"));
}

TEST_F(DotNetDialogRun, FailsRetriesDownloadsAndStartsTheInstaller) {
    // The installer's address is not served yet: the first download fails.
    const std::string installer = TestInstaller();
    ASSERT_FALSE(installer.empty());
    Brand(Config()
              .Set(L"APPLICATION", L"dotnetfx20", Widen(Url(L"fx\\dotnetfx20.exe")))
              .Set(L"APPLICATION", L"dotnetfx20_sha256", Sha256Of(installer.data(), installer.size())));
    test::ChildProcess engine = Start(L"dotnet20");
    ASSERT_TRUE(engine.started());
    const HWND dialog = test::WaitForDialogWithControl(engine.id(), kView);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(test::TextOf(dialog), name());
    EXPECT_EQ(test::ClassOf(::GetDlgItem(dialog, kView)), L"MirefoldDownloadBlockView");
    EXPECT_EQ(test::ControlText(dialog, IDOK), L"Download");

    ASSERT_TRUE(test::PressButton(dialog, IDOK));
    ASSERT_TRUE(test::WaitUntil([&] { return Log().find("Download failed") != std::string::npos; }, 60s)) << Log();
    ASSERT_TRUE(test::WaitForControlEnabled(dialog, IDOK, true));
    EXPECT_EQ(test::ControlText(dialog, IDOK), L"Download");

    // The server has it now: the retry downloads it and the view fills.
    Publish(L"fx\\dotnetfx20.exe", installer);
    ASSERT_TRUE(test::PressButton(dialog, IDOK));
    ASSERT_TRUE(test::WaitForControlText(dialog, IDOK, L"Install", 60s)) << Log();
    EXPECT_TRUE(test::ControlEnabled(dialog, IDOK));
    const std::wstring local = LocalFile();
    ASSERT_FALSE(local.empty()) << Log();
    EXPECT_EQ(test::ReadFileBytes(local), installer);
    const gui::Pixels view = test::ReadPixels(::GetDlgItem(dialog, kView));
    EXPECT_GT(view.Count(kDoneSquare), 0) << "the grid around the complete text shows received squares";
    EXPECT_EQ(view.Count(kPendingSquare), 0);

    ASSERT_TRUE(test::PressButton(dialog, IDOK));
    EXPECT_TRUE(test::WaitForWindowToClose(dialog));
    EXPECT_TRUE(engine.Wait(30s));
    // The installer started (it records each start beside itself).
    EXPECT_TRUE(test::WaitUntil([&] { return FileExists(local + L".log"); }, 20s)) << Log();
}

struct BoxSearch {
    HWND dialog;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindBoxOver(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (window == search->dialog || owner != search->processId || !::IsWindowVisible(window) ||
        test::ClassOf(window) != L"#32770")
        return TRUE;
    search->found = window;
    return FALSE;
}

// The message box the dialog shows over itself (another dialog window of
// the engine): its text, after it was answered with OK; empty when none came.
std::wstring AnswerBoxOver(HWND dialog, DWORD processId) {
    BoxSearch search{dialog, processId, nullptr};
    const auto found = [&] {
        ::EnumWindows(FindBoxOver, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    };
    if (!test::WaitUntil(found, 20s)) return {};
    std::wstring text;
    for (HWND child = ::GetWindow(search.found, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
        if (test::ClassOf(child) == L"Static" && !test::TextOf(child).empty()) text = test::TextOf(child);
    ::PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return text;
}

// The installer is started as administrator: what was downloaded into the
// user's folder must be what the configuration names (its digest) or carry
// the publisher's trusted signature. A file that fails is deleted, the
// dialog says so and offers the download again, and nothing is started.
TEST_F(DotNetDialogRun, AnInstallerThatFailsItsCheckIsDeletedAndNotStarted) {
    const std::string installer = TestInstaller();
    ASSERT_FALSE(installer.empty());
    Publish(L"fx\\dotnetfx20.exe", installer);
    struct Case {
        const char* name;
        std::wstring digest;  // dotnetfx20_sha256
        bool swap;            // other bytes put under the name after the download
    };
    const Case cases[] = {
        {"unsigned, no digest configured", L"", false},
        {"another digest configured", std::wstring(64, L'0'), false},
        {"swapped after the download", Sha256Of(installer.data(), installer.size()), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Brand(Config()
                  .Set(L"APPLICATION", L"dotnetfx20", Widen(Url(L"fx\\dotnetfx20.exe")))
                  .Set(L"APPLICATION", L"dotnetfx20_sha256", c.digest));
        test::ChildProcess engine = Start(L"dotnet20");
        ASSERT_TRUE(engine.started());
        const HWND dialog = test::WaitForDialogWithControl(engine.id(), kView);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(test::PressButton(dialog, IDOK));
        ASSERT_TRUE(test::WaitForControlText(dialog, IDOK, L"Install", 60s)) << Log();
        const std::wstring local = LocalFile();
        ASSERT_FALSE(local.empty()) << Log();
        if (c.swap) {
            ASSERT_TRUE(test::WriteFileBytes(local, installer + "planted"));
        }

        ASSERT_TRUE(test::PressButton(dialog, IDOK));
        EXPECT_EQ(AnswerBoxOver(dialog, engine.id()),
                  L"The downloaded installer did not pass its check and was deleted,\nPlease download again.");
        EXPECT_TRUE(test::WaitForControlText(dialog, IDOK, L"Download", 20s)) << Log();
        EXPECT_FALSE(FileExists(local));
        EXPECT_FALSE(FileExists(local + L".log")) << "the installer was started";
        EXPECT_NE(Log().find("is refused"), std::string::npos) << Log();
        ASSERT_TRUE(test::PressButton(dialog, IDCANCEL));
        EXPECT_TRUE(engine.Wait(30s));
    }
}

TEST_F(DotNetDialogRun, AVersionWithoutAnAddressGetsTheWarningBox) {
    Brand(Config().Set(L"Mirefold", L"DotNetSite", L"none"));
    test::ChildProcess engine = Start(L"dotnet35");
    ASSERT_TRUE(engine.started());
    EXPECT_EQ(test::AnswerMessageBox(engine.id(), IDOK),
              L"You must install .Net Framework 3.5 to run main application.");
    EXPECT_TRUE(engine.Wait(30s));
    EXPECT_EQ(Log().find("Offer .NET Framework"), std::string::npos) << Log();
}

}  // namespace
}  // namespace mf
