// The .NET prerequisite with the real engine: the main program starts only
// with the framework it needs, and the prompt can be asked for directly.
#include <gtest/gtest.h>

#include "base/files.h"
#include "base/strings.h"
#include "support/end_to_end.h"
#include "support/window_driver.h"

namespace mf {
namespace {

class DotNetRun : public test::EndToEndTest {
protected:
    DotNetRun() : EndToEndTest(L"dotnet-e2e") {}
    void TearDown() override { RemoveTree(Folder()); }

    // `mirefold`: more lines of section Mirefold.
    void Brand(const std::vector<std::wstring>& mirefold) {
        // No vendor's site: a missing framework gets the warning box (the
        // download dialog has tests of its own).
        test::EngineIni ini = OfflineIni();
        ini.Set(L"Mirefold", L"DotNetSite", L"none").Lines(L"Mirefold", mirefold);
        ini.Set(L"APPLICATION", L"Name", productName_)
            .Set(L"UPDATEINFO", L"ListURL", L"http://127.0.0.1:9/" + productName_ + L"/update.xml");
        EndToEndTest::Brand(ini);
    }
    void InstallMainProgram() {
        ASSERT_TRUE(CreateFolderTree(Folder()));
        ASSERT_TRUE(test::WriteFileBytes(Folder() + L"main.cmd", test::MarkingMainProgram(Marker())));
    }
    // Runs the engine, answering the .NET prompt when one comes; the prompt's
    // text, or empty when there was none.
    std::wstring RunAnswering(const std::wstring& arguments, bool expectPrompt) {
        const test::AnsweredRun run =
            EndToEndTest::RunAnswering(arguments, expectPrompt ? std::optional<int>(IDOK) : std::nullopt);
        EXPECT_TRUE(run.ended);
        return run.text;
    }
    std::string Log() const { return test::ReadFileBytes(Folder() + L"inst.log"); }
    // The folder of the product this run brands (a test may go through
    // several products).
    std::wstring Folder() const { return test::ProductFolder(productName_); }
    std::wstring Marker() const { return Folder() + L"started.txt"; }

    std::wstring productName_ = name();
};

TEST_F(DotNetRun, SwitchAsksForItsVersionAndEndsStartUp) {
    Brand({});
    const std::wstring text = RunAnswering(L"emptytemp -dotnet20", true);
    EXPECT_EQ(text, L"You must install .Net Framework 2.0 to run main application.");
    EXPECT_EQ(Log().find("Run mode"), std::string::npos) << Log();
}

// With the vendor's site, the switch offers the download from there.
TEST_F(DotNetRun, SwitchOffersTheVendorsInstaller) {
    test::EngineIni ini = OfflineIni();
    ini.Remove(L"APPLICATION", L"Application").Set(L"UPDATEINFO", L"ListURL", L"http://127.0.0.1:9/x/update.xml");
    EndToEndTest::Brand(ini);
    test::ChildProcess engine = Start(L"emptytemp -dotnet20");
    const HWND dialog = test::WaitForDialogWithControl(engine.id(), 144);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(test::PressButton(dialog, IDCANCEL));
    EXPECT_TRUE(engine.Wait(std::chrono::seconds(30)));
    const std::string log = Log();
    EXPECT_NE(log.find("Offer .NET Framework 2.0 from http://update.mirefold.net/dotnetfx/dotnetfx20.exe"),
              std::string::npos) << log;
    EXPECT_EQ(log.find("Run mode"), std::string::npos) << log;
}

TEST_F(DotNetRun, MainProgramStartsOnlyWithTheFrameworkItNeeds) {
    // A framework folder of the test's own in this prefix's Windows folder.
    const std::wstring framework = WindowsFolder() + L"\\Microsoft.NET\\Framework\\v3.5.e2e" +
                                   std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(CreateFolderTree(framework));
    struct Case {
        std::vector<std::wstring> mirefold;
        const wchar_t* prompt;  // nullptr: none, and the program starts
    };
    const Case cases[] = {
        {{L"DotNetFix=1.0"}, L"You must install .Net Framework 1.0 to run main application."},
        {{L"dotnetfx11=1"}, L"You must install .Net Framework 1.1 to run main application."},
        {{L"dotnetfx35=yes"}, nullptr},
        {{L"DotNetFx=7.0"}, nullptr},  // a version the engine does not know counts as present
        {{}, nullptr},
    };
    const std::wstring baseName = productName_;
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mirefold.empty() ? std::string() : Narrow(c.mirefold.front()));
        // A product folder per case: the main program started by one case
        // may still have its folder as current folder while the next begins.
        RemoveTree(Folder());
        productName_ = baseName + std::to_wstring(++index);
        RemoveTree(Folder());
        Brand(c.mirefold);
        InstallMainProgram();
        const std::wstring text = RunAnswering(L"", c.prompt != nullptr);
        if (c.prompt != nullptr) {
            EXPECT_EQ(text, c.prompt);
            ::Sleep(1000);
            EXPECT_FALSE(FileExists(Marker()));
        } else {
            EXPECT_TRUE(test::WaitUntil([&] { return FileExists(Marker()); }, std::chrono::seconds(20))) << Log();
        }
    }
    RemoveTree(framework);
}

TEST_F(DotNetRun, StartUpAsksForAMissingFrameworkAndGoesOn) {
    // The check runs without the launcher window, so that the person's run
    // ends by itself once the unreachable server has answered nothing.
    Brand({L"DotNetFix=1.1", L"ShowWhenCheck=0"});
    // Started by a person: asked, and the run goes on.
    const std::wstring text = RunAnswering(L"appenter", true);
    EXPECT_EQ(text, L"You must install .Net Framework 1.1 to run main application.");
    EXPECT_NE(Log().find("Run mode [appenter]"), std::string::npos) << Log();
    // A run that nobody watches (the configured "emptytemp") is not held by
    // a box: the warning is logged once the mode is known.
    RunAnswering(L"", false);
    EXPECT_NE(Log().find("You must install .Net Framework 1.1 to run main application. [not shown"), std::string::npos)
        << Log();
    EXPECT_NE(Log().find("Run mode [emptytemp]"), std::string::npos) << Log();
}

}  // namespace
}  // namespace mf
