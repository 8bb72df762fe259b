#include <gtest/gtest.h>

#include <algorithm>

#include "base/files.h"
#include "base/strings.h"
#include "engine/elevation.h"
#include "engine/process_state.h"
#include "support/engine_runner.h"
#include "support/test_host.h"

namespace mf {
namespace {

// The new instance of an elevated relaunch: the real engine, started with
// the stored command line followed by the marker, finds the update list
// the other instance saved, goes on from status 6 with it instead of
// checking again, and deletes the saved file.
class ElevatedHandoverTest : public ::testing::Test {
protected:
    void SetUp() override {
        name_ = site_.name();
        exe_ = folder_ / L"mirefold.exe";
    }

    std::string Config() const {
        // The list server does not answer: a new check would fail loudly.
        // "appenter" continues in the launcher window, whose computer
        // variant ends by itself.
        return "[Mirefold]\r\nLog=inst.log\r\nTempAppPath=1\r\n[APPLICATION]\r\nIsComputer=1\r\n"
               "PracticeCenterURL=http://127.0.0.1:9/pc\r\nName=" + Narrow(name_) +
               "\r\n[UPDATEINFO]\r\nListURL=http://127.0.0.1:9/" + Narrow(name_) + "/update.xml\r\n";
    }
    std::wstring Folder() const { return site_.Folder(); }

    // Saves a list of two files where the non-elevated instance saves it.
    std::wstring SaveList() {
        EXPECT_TRUE(CreateFolderTree(Folder()));
        EXPECT_TRUE(test::WriteFileBytes(Folder() + L"mirefold.ini", Config()));
        ProcessState state;
        ScopedProcessState use(state);
        state.workFolder.Set(Folder());
        DownLoadList list;
        for (const wchar_t* path : {L"bin\\QBank.exe", L"data\\bank.db"}) {
            updatefileinfo record;
            record.path = path;
            record.ver = L"2";
            list.Add(record);
        }
        const std::wstring saved = state.paths.SavedListFile();
        EXPECT_TRUE(list.SaveToFile(saved));
        return saved;
    }

    test::TempFolder folder_;
    test::ProductSite site_{L"elevated-e2e"};
    std::wstring name_;
    std::wstring exe_;
};

TEST_F(ElevatedHandoverTest, TheNewInstanceTakesOverTheSavedListInsteadOfCheckingAgain) {
    ASSERT_TRUE(test::BrandEngine(Config(), exe_));
    for (const wchar_t* mode : {L"appenter", L"silence"}) {
        SCOPED_TRACE(Narrow(mode));
        const std::wstring saved = SaveList();
        ASSERT_TRUE(FileExists(saved));
        const std::wstring digest = HandOverDigest(test::ReadFileBytes(saved));
        test::TestHost host;
        ASSERT_NE(host.window(), nullptr);
        const std::wstring handle = std::to_wstring(reinterpret_cast<UINT_PTR>(host.window()));
        const test::EngineRun run = test::RunEngine(
            exe_, std::wstring(mode) + L" " + handle + L" /___runas_admin___ /listdigest=" + digest, name_);
        ASSERT_GE(run.exitCode, 0);

        const std::vector<std::wstring> statuses = host.Statuses();
        EXPECT_NE(std::find(statuses.begin(), statuses.end(), L"UpdateDownloadOk 2"), statuses.end()) << run.log;
        // No remote check: the saved list is the update.
        for (const std::wstring& status : statuses) EXPECT_FALSE(StartsWith(status, L"UpdateCheckRemote ")) << run.log;
        EXPECT_FALSE(FileExists(saved));
        EXPECT_EQ(run.exitCode, 2);  // the files of the saved list
    }
}

// A saved list that the hand-over's digest does not name (any program of
// the user can write the temporary folder, and start the engine with the
// marker) is not taken: the run checks again, and the file is gone.
TEST_F(ElevatedHandoverTest, AListWithoutTheHandOversDigestIsNotTaken) {
    ASSERT_TRUE(test::BrandEngine(Config(), exe_));
    for (const wchar_t* digest : {L"", L" /listdigest=0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"}) {
        SCOPED_TRACE(Narrow(digest));
        const std::wstring saved = SaveList();
        test::TestHost host;
        ASSERT_NE(host.window(), nullptr);
        const std::wstring handle = std::to_wstring(reinterpret_cast<UINT_PTR>(host.window()));
        const test::EngineRun run =
            test::RunEngine(exe_, L"silence " + handle + L" /___runas_admin___" + digest, name_);
        const std::vector<std::wstring> statuses = host.Lines(L"status");
        EXPECT_EQ(std::find(statuses.begin(), statuses.end(), L"status 6 2"), statuses.end()) << run.log;
        EXPECT_NE(std::find_if(statuses.begin(), statuses.end(),
                               [](const std::wstring& status) { return StartsWith(status, L"status 1 "); }),
                  statuses.end())
            << run.log;
        EXPECT_FALSE(FileExists(saved));
    }
}

}  // namespace
}  // namespace mf
