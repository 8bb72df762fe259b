// "silence" with the real engine, nginx and the sample host: a whole update
// without a window, followed by a host window.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <future>
#include <map>

#include "apply/close_program.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/strings.h"
#include "support/end_to_end.h"
#include "support/test_host.h"
#include "support/test_main_program.h"

namespace mf {
namespace {

using test::Release;

class SilentUpdate : public test::EndToEndTest {
protected:
    SilentUpdate() : EndToEndTest(L"silent-e2e") {}
    void SetUp() override { release_[L"readme.txt"] = "read me\r\n"; }

    void PublishRelease(const std::map<std::wstring, std::string>& keys = {}) {
        EndToEndTest::PublishRelease(release_, keys);
    }
    // The product's configuration without the quick check, adjusted by
    // `adjust` and the test's own lines of section APPLICATION.
    void Brand(const std::function<void(test::EngineIni&)>& adjust = {}) {
        test::EngineIni ini = ProductIni();
        ini.Set(L"Mirefold", L"QuickCheck", 0);
        ini.Lines(L"APPLICATION", applicationExtra_);
        if (adjust) adjust(ini);
        EndToEndTest::Brand(ini);
    }
    test::EngineRun Silent(const test::TestHost* host = nullptr) {
        constexpr auto kTimeout = std::chrono::seconds(90);
        return host != nullptr ? RunFor(*host, L"silence", L"", kTimeout) : Run(L"silence", kTimeout);
    }
    void ExpectInstalledRelease() const { ExpectInstalled(release_); }

    // The release's main program leaves a marker when it is started.
    Release release_ = test::SmallRelease(marker_);
    std::vector<std::wstring> applicationExtra_;  // more lines of section APPLICATION
};

TEST_F(SilentUpdate, EmptyInstallationBecomesTheRelease) {
    PublishRelease();
    Brand();
    test::TestHost host;
    ASSERT_NE(host.window(), nullptr);
    const test::EngineRun run = Silent(&host);
    EXPECT_EQ(run.exitCode, static_cast<long long>(release_.size())) << run.log;
    ExpectInstalledRelease();
    EXPECT_EQ(test::ReadFileBytes(Folder() + L"mirefold.xml").empty(), false);
    EXPECT_EQ(host.StatusNames(),
              (std::vector<std::wstring>{L"UpdateNone", L"UpdateCheckRemote", L"UpdateCheckRemoteOk", L"UpdateDownload",
                                         L"UpdateDownloadOk", L"UpdateCheckLocal", L"UpdateCheckLocalOk", L"UpdateCopy",
                                         L"UpdateCopyOk", L"UpdateEnd"}))
        << run.log;
    EXPECT_TRUE(MainProgramStarted()) << run.log;
}

TEST_F(SilentUpdate, VersionReplyLeadsToTheFullCheckAndTheUpdate) {
    // With CheckVerNumber the list URL answers with a version and the lists
    // to check against; the silent run goes on to check them and update.
    PublishRelease();
    Publish(L"ver.txt", "<ver>3.0</ver>\r\n<url>" + Url(L"update.xml") + "</url>\r\n");
    Brand([&](test::EngineIni& ini) {
        ini.Set(L"UPDATEINFO", L"ListURL", Widen(Url(L"ver.txt"))).Set(L"APPLICATION", L"CheckVerNumber", 1);
    });
    const test::EngineRun run = Silent();
    ExpectInstalledRelease();
    EXPECT_TRUE(MainProgramStarted()) << run.log;
}

TEST_F(SilentUpdate, CurrentInstallationFetchesNothingAndStartsTheMainProgram) {
    PublishRelease();
    Brand();
    ASSERT_EQ(Silent().exitCode, static_cast<long long>(release_.size()));
    ::DeleteFileW(marker_.c_str());
    test::TestHost host;
    const test::EngineRun run = Silent(&host);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_EQ(host.StatusNames(),
              (std::vector<std::wstring>{L"UpdateNone", L"UpdateCheckRemote", L"UpdateCheckRemoteOk", L"UpdateEnd"}))
        << run.log;
    EXPECT_TRUE(MainProgramStarted()) << run.log;
}

TEST_F(SilentUpdate, OneChangedFileIsTheOnlyOneReplaced) {
    PublishRelease();
    Brand();
    ASSERT_EQ(Silent().exitCode, static_cast<long long>(release_.size()));
    // Installed files the new release does not change keep their times.
    WIN32_FILE_ATTRIBUTE_DATA before{};
    ASSERT_TRUE(::GetFileAttributesExW((Folder() + L"readme.txt").c_str(), GetFileExInfoStandard, &before));
    release_[L"data\\sub\\bank2.dat"] = "second bank, second edition\r\n";
    PublishRelease();
    ::Sleep(1100);
    const test::EngineRun run = Silent();
    EXPECT_EQ(run.exitCode, 1) << run.log;
    ExpectInstalledRelease();
    WIN32_FILE_ATTRIBUTE_DATA after{};
    ASSERT_TRUE(::GetFileAttributesExW((Folder() + L"readme.txt").c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(::CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0);
}

TEST_F(SilentUpdate, ServerDownStillStartsTheMainProgram) {
    // The release's main program is installed by hand; the server is gone.
    ASSERT_TRUE(CreateFolderTree(Folder()));
    ASSERT_TRUE(test::WriteFileBytes(Folder() + L"main.cmd", release_[L"main.cmd"]));
    Brand(
        [&](test::EngineIni& ini) { ini.Set(L"UPDATEINFO", L"ListURL", Widen(site_.UnreachableUrl(L"update.xml"))); });
    test::TestHost host;
    const test::EngineRun run = Silent(&host);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    const std::vector<std::wstring> statuses = host.StatusNames();
    ASSERT_GE(statuses.size(), 2u);
    EXPECT_EQ(statuses[statuses.size() - 2], L"UpdateCheckRemoteError") << run.log;
    EXPECT_EQ(statuses.back(), L"UpdateEnd");
    EXPECT_TRUE(MainProgramStarted()) << run.log;
}

// Nobody is there to answer whether the running main program may be
// closed: the run neither waits for an answer nor replaces anything.
TEST_F(SilentUpdate, RunningMainProgramIsLeftAloneWithoutAQuestion) {
    PublishRelease();
    Brand([](test::EngineIni& ini) { ini.Set(L"APPLICATION", L"Application", L"QBank.exe"); });
    ASSERT_EQ(Silent().exitCode, static_cast<long long>(release_.size()));
    ASSERT_TRUE(::CopyFileW(test::TestMainProgram::BuildExe().c_str(), (Folder() + L"QBank.exe").c_str(), FALSE));
    test::TestMainProgram program(L"", Folder() + L"QBank.exe");
    ASSERT_TRUE(program.ready());
    // The run ends by starting the main program once more; that copy must
    // not outlive the test.
    struct EndCopies {
        std::wstring path;
        ~EndCopies() {
            for (const RunningProgram& running : FindRunningPrograms(path)) {
                UniqueHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, running.processId));
                if (process) ::TerminateProcess(process.get(), 1);
            }
        }
    } endCopies{Folder() + L"QBank.exe"};
    const std::string old = release_[L"readme.txt"];
    release_[L"readme.txt"] = "read me, second edition\r\n";
    PublishRelease();
    test::TestHost host;
    const test::EngineRun run = Silent(&host);
    EXPECT_EQ(run.exitCode, 1) << run.log;
    EXPECT_NE(run.log.find("[not shown: nobody to answer in this run]"), std::string::npos) << run.log;
    const std::vector<std::wstring> statuses = host.StatusNames();
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), L"UpdateCheckLocalError"), statuses.end()) << run.log;
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back(), L"UpdateEnd");
    EXPECT_EQ(test::ReadFileBytes(Folder() + L"readme.txt"), old);
    EXPECT_TRUE(program.Running());
}

TEST_F(SilentUpdate, PausedHostHoldsTheRunBetweenPhases) {
    PublishRelease();
    Brand();
    test::TestHost host(L"--paused");
    auto run = std::async(std::launch::async, [&] { return Silent(&host); });
    // The check runs; then the run waits before the download.
    ASSERT_TRUE(test::WaitUntil([&] { return !host.Lines(L"status 3").empty(); }, std::chrono::seconds(30)));
    ::Sleep(1500);
    EXPECT_TRUE(host.Lines(L"status 4").empty());
    EXPECT_FALSE(FileExists(Folder() + L"readme.txt"));
    ::RemovePropW(host.window(), L"mirefold.paused");
    const test::EngineRun done = run.get();
    EXPECT_EQ(done.exitCode, static_cast<long long>(release_.size())) << done.log;
    ExpectInstalledRelease();
}

TEST_F(SilentUpdate, ClosedHostThatAsksForItStopsTheRun) {
    PublishRelease();
    Brand();
    test::TestHost host(L"--paused --exit-when-killed");
    auto run = std::async(std::launch::async, [&] { return Silent(&host); });
    ASSERT_TRUE(test::WaitUntil([&] { return !host.Lines(L"status 3").empty(); }, std::chrono::seconds(30)));
    ASSERT_TRUE(host.Close());
    const test::EngineRun done = run.get();
    EXPECT_EQ(done.exitCode, static_cast<long long>(release_.size())) << done.log;
    // The run stopped at the next check: nothing was downloaded or installed.
    EXPECT_FALSE(FileExists(Folder() + L"readme.txt"));
    EXPECT_EQ(done.log.find("download:" + Url(L"readme.txt")), std::string::npos) << done.log;
}

TEST_F(SilentUpdate, FailedDownloadIsRetriedFourMoreTimes) {
    PublishRelease();
    // A file the list names but the server does not have.
    Release withMissing = release_;
    withMissing[L"data\\missing.dat"] = "never published";
    Publish(L"update.xml", test::ReleaseList(withMissing));
    Brand();
    const test::EngineRun run = Silent();
    // Four more runs of the phase, each for the failed file only.
    std::size_t retries = 0;
    for (std::size_t at = run.log.find("Downloading error files..."); at != std::string::npos;
         at = run.log.find("Downloading error files...", at + 1))
        ++retries;
    EXPECT_EQ(retries, 4u) << run.log;
    // The run ends without installing, and still starts nothing it has not.
    EXPECT_FALSE(FileExists(Folder() + L"readme.txt"));
}

// "appenter": the check, then a question a person answers.
class AppEnter : public SilentUpdate {
protected:
    // The update runs in the launcher window; its computer variant ends by
    // itself once the update is done (the other one stays open for the
    // practice center).
    void SetUp() override {
        SilentUpdate::SetUp();
        applicationExtra_ = {L"IsComputer=1", L"PracticeCenterURL=" + Widen(Url(L"pc"))};
    }

    // Starts the engine in the mode, answers its message box with `button`
    // and returns the box's text and the engine's exit code.
    std::pair<std::wstring, long long> Answering(const std::wstring& mode, int button) {
        const test::AnsweredRun run = RunAnswering(mode, button, std::chrono::seconds(40), std::chrono::seconds(90));
        return {run.text, run.exitCode};
    }
};

TEST_F(AppEnter, WithoutApplicationItSaysSoAndStops) {
    PublishRelease();
    test::EngineIni ini = ProductIni();
    ini.Remove(L"APPLICATION", L"Application").Remove(L"UPDATEINFO", L"MainListURL");
    EndToEndTest::Brand(ini);
    const auto [text, code] = Answering(L"appenter", IDOK);
    EXPECT_EQ(text, L"At AppEnter mode,You must set Application in mirefold.ini file.");
    EXPECT_FALSE(FileExists(Folder() + L"readme.txt"));
}

TEST_F(AppEnter, YesUpdates) {
    PublishRelease();
    Brand();
    const auto [text, code] = Answering(L"appenter", IDYES);
    EXPECT_EQ(text, L"4 updates found at the website,now to upgrade?");
    EXPECT_EQ(code, static_cast<long long>(release_.size()));
    ExpectInstalledRelease();
}

TEST_F(AppEnter, NoStartsTheMainProgramWithoutUpdating) {
    PublishRelease();
    ASSERT_TRUE(CreateFolderTree(Folder()));
    ASSERT_TRUE(test::WriteFileBytes(Folder() + L"main.cmd", release_[L"main.cmd"]));
    Brand();
    const auto [text, code] = Answering(L"appenter", IDNO);
    EXPECT_FALSE(text.empty());
    EXPECT_FALSE(FileExists(Folder() + L"readme.txt"));
    EXPECT_TRUE(MainProgramStarted());
}

TEST_F(AppEnter, CancelDoesNothing) {
    PublishRelease();
    ASSERT_TRUE(CreateFolderTree(Folder()));
    ASSERT_TRUE(test::WriteFileBytes(Folder() + L"main.cmd", test::MarkingMainProgram(marker_) + "rem old\r\n"));
    Brand();
    const auto [text, code] = Answering(L"appenter", IDCANCEL);
    EXPECT_FALSE(text.empty());
    EXPECT_FALSE(FileExists(Folder() + L"readme.txt"));
    ::Sleep(2000);
    EXPECT_FALSE(FileExists(marker_));
}

TEST_F(AppEnter, NoPromptUpdatesWithoutAsking) {
    PublishRelease();
    Brand();
    const test::EngineRun run = Run(L"appenternoprompt", std::chrono::seconds(90));
    EXPECT_EQ(run.exitCode, static_cast<long long>(release_.size())) << run.log;
    ExpectInstalledRelease();
}

}  // namespace
}  // namespace mf
