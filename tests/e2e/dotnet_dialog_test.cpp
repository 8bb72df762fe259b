// The .NET Framework download dialog with the real branded engine and nginx:
// a failed download offers "Download" again, a complete one "Install", and
// the installer it downloaded starts when that is pressed.
#include <gtest/gtest.h>

#include "base/files.h"
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

TEST_F(DotNetDialogRun, FailsRetriesDownloadsAndStartsTheInstaller) {
    // The installer's address is not served yet: the first download fails.
    Brand(Config().Set(L"APPLICATION", L"dotnetfx20", Widen(Url(L"fx\\dotnetfx20.exe"))));
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
    const std::string installer = test::ReadFileBytes(test::BuildPath(L"installtest\\mirefold-testmark.exe"));
    ASSERT_FALSE(installer.empty());
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
