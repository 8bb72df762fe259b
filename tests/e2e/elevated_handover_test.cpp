#include <gtest/gtest.h>

#include <algorithm>

#include "base/files.h"
#include "base/strings.h"
#include "engine/elevation.h"
#include "engine/process_state.h"
#include "support/end_to_end.h"
#include "support/test_host.h"

namespace mf {
namespace {

// The new instance of an elevated relaunch: the real engine, started with
// the stored command line followed by the marker, finds the update list
// the other instance saved, goes on from status 6 with it instead of
// checking again, and deletes the saved file.
class ElevatedHandoverTest : public test::EndToEndTest {
protected:
    ElevatedHandoverTest() : EndToEndTest(L"elevated-e2e") {}

    test::EngineIni Config() const {
        // The list server does not answer: a new check would fail loudly.
        // "appenter" continues in the launcher window, whose computer
        // variant ends by itself.
        test::EngineIni ini = ProductIni();
        ini.Remove(L"Mirefold", L"ShowWhenCheck").Set(L"Mirefold", L"TempAppPath", 1);
        ini.Remove(L"APPLICATION", L"Application")
            .Set(L"APPLICATION", L"IsComputer", 1)
            .Set(L"APPLICATION", L"PracticeCenterURL", L"http://127.0.0.1:9/pc");
        ini.Set(L"UPDATEINFO", L"ListURL", Widen(site_.UnreachableUrl(L"update.xml")))
            .Remove(L"UPDATEINFO", L"MainListURL");
        return ini;
    }

    // Saves a list of two files where the non-elevated instance saves it.
    std::wstring SaveList() {
        EXPECT_TRUE(CreateFolderTree(Folder()));
        EXPECT_TRUE(Config().WriteTo(Folder() + L"mirefold.ini"));
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
};

TEST_F(ElevatedHandoverTest, TheNewInstanceTakesOverTheSavedListInsteadOfCheckingAgain) {
    Brand(Config());
    for (const wchar_t* mode : {L"appenter", L"silence"}) {
        SCOPED_TRACE(Narrow(mode));
        const std::wstring saved = SaveList();
        ASSERT_TRUE(FileExists(saved));
        const std::wstring digest = HandOverDigest(test::ReadFileBytes(saved));
        test::TestHost host;
        ASSERT_NE(host.window(), nullptr);
        const test::EngineRun run = RunFor(host, mode, L"/___runas_admin___ /listdigest=" + digest);
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
    Brand(Config());
    for (const wchar_t* digest :
         {L"", L" /listdigest=0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"}) {
        SCOPED_TRACE(Narrow(digest));
        const std::wstring saved = SaveList();
        test::TestHost host;
        ASSERT_NE(host.window(), nullptr);
        const test::EngineRun run = RunFor(host, L"silence", L"/___runas_admin___" + std::wstring(digest));
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
