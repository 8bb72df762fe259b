#include <gtest/gtest.h>

#include <algorithm>

#include "apply/download_rules.h"
#include "base/files.h"
#include "base/md5.h"
#include "base/path_text.h"
#include "base/strings.h"
#include "engine/elevation.h"
#include "engine/process_state.h"
#include "support/end_to_end.h"
#include "support/test_host.h"

namespace mf {
namespace {

using test::Release;

// A record of a saved list.
updatefileinfo FileRecord(const std::wstring& path, const std::wstring& key) {
    updatefileinfo record;
    record.path = path;
    record.ver = key;
    return record;
}

// The new instance of an elevated relaunch: the real engine, started with
// the stored command line followed by the marker and the digest of the list
// the other instance saved. Both lie where any program of the user can
// write them, so the new instance checks the server again and takes from the
// saved list only what the server's list holds alike.
class ElevatedHandoverTest : public test::EndToEndTest {
protected:
    ElevatedHandoverTest() : EndToEndTest(L"elevated-e2e") {}

    // The list server does not answer. "appenter" continues in the launcher
    // window, whose computer variant ends by itself.
    test::EngineIni OfflineConfig() const {
        test::EngineIni ini = ProductIni();
        ini.Remove(L"Mirefold", L"ShowWhenCheck").Set(L"Mirefold", L"TempAppPath", 1);
        ini.Remove(L"APPLICATION", L"Application")
            .Set(L"APPLICATION", L"IsComputer", 1)
            .Set(L"APPLICATION", L"PracticeCenterURL", L"http://127.0.0.1:9/pc");
        ini.Set(L"UPDATEINFO", L"ListURL", Widen(site_.UnreachableUrl(L"update.xml")))
            .Remove(L"UPDATEINFO", L"MainListURL");
        return ini;
    }
    test::EngineIni ServedConfig() const {
        test::EngineIni ini = ProductIni();
        ini.Set(L"Mirefold", L"QuickCheck", 0);
        return ini;
    }

    // Saves `list` where the non-elevated instance saves it, with a pending
    // file of the given content for each of `pending`; returns the digest
    // the hand-over puts on the command line.
    std::wstring SaveList(const test::EngineIni& config, DownLoadList& list, const Release& pending = {}) {
        EXPECT_TRUE(CreateFolderTree(Folder()));
        EXPECT_TRUE(config.WriteTo(Folder() + L"mirefold.ini"));
        ProcessState state;
        ScopedProcessState use(state);
        state.workFolder.Set(Folder());
        for (const auto& [path, content] : pending) {
            const std::wstring file = DownloadPathWith(state.paths.ListCacheBase(), path) + L"_";
            EXPECT_TRUE(CreateFolderTree(FolderOf(file)));
            EXPECT_TRUE(WriteWholeFile(file, content));
        }
        saved_ = state.paths.SavedListFile();
        EXPECT_TRUE(list.SaveToFile(saved_));
        return HandOverDigest(test::ReadFileBytes(saved_));
    }
    test::EngineRun RunElevated(const test::TestHost& host, const wchar_t* mode, const std::wstring& digest) {
        return RunFor(host, mode, L"/___runas_admin___ /listdigest=" + digest, std::chrono::seconds(90));
    }

    std::wstring saved_;
};

// Measured attack: another program writes a list into the temporary folder
// (a file the server does not have, and a command) and starts the engine
// with the marker and that list's digest. The server's release keys its
// files by content digest, except readme.txt (by size).
TEST_F(ElevatedHandoverTest, AForgedListRunsNoCommandAndInstallsOnlyTheServersRelease) {
    Release release = test::SmallRelease(marker_);
    release[L"readme.txt"] = "read me\r\n";
    std::string entries;
    DownLoadList forged;
    for (const auto& [path, content] : release) {
        updatefileinfo record = FileRecord(path, std::to_wstring(content.size()));
        if (path == L"readme.txt") {
            entries += "<file path=\"readme.txt\" ver=\"" + std::to_string(content.size()) + "\"/>\r\n";
        } else {
            record.ver = Md5Of(content.data(), content.size());
            record.md5key = true;
            entries += "<file path=\"" + Narrow(path) + "\" md5=\"" + Narrow(record.ver) + "\"/>\r\n";
        }
        forged.Add(record);
        Publish(path, content);
    }
    Publish(L"update.xml", "<?xml version=\"1.0\"?>\r\n<update hash=\"md5\">\r\n" + entries + "</update>\r\n");
    Publish(L"main.xml", test::UpdateList());
    const test::EngineIni config = ServedConfig();
    Brand(config);

    const std::wstring forgedMarker = folder_ / L"forged-command-ran.txt";
    ASSERT_TRUE(CreateFolderTree(Folder()));
    ASSERT_TRUE(WriteWholeFile(Folder() + L"forged.cmd", "@echo forged> \"" + Narrow(forgedMarker) + "\"\r\n"));
    forged.Add(FileRecord(L"planted.txt", L"7"));
    forged.commands.push_back(Folder() + L"forged.cmd\t\tno\t");
    // Pending files: a digest-keyed file of the server, already fetched; the
    // size-keyed one with other bytes of its size; and the planted one.
    const std::wstring digest = SaveList(config, forged,
                                         {{L"data\\bank1.dat", release[L"data\\bank1.dat"]},
                                          {L"readme.txt", "READ ME\r\n"},
                                          {L"planted.txt", "planted"}});

    test::TestHost host;
    ASSERT_NE(host.window(), nullptr);
    const test::EngineRun run = RunElevated(host, L"silence", digest);

    ExpectInstalled(release);
    EXPECT_FALSE(FileExists(Folder() + L"planted.txt")) << run.log;
    EXPECT_FALSE(test::WaitUntil([&] { return FileExists(forgedMarker); }, std::chrono::seconds(2))) << run.log;
    EXPECT_NE(run.log.find("dropped from the handed-over one: file[planted.txt]"), std::string::npos) << run.log;
    EXPECT_NE(run.log.find("forged.cmd"), std::string::npos) << run.log;  // the command, dropped
    // The digest-keyed file already fetched is used; the size-keyed one is
    // fetched again.
    EXPECT_EQ(run.log.find("bank1.dat._.zip"), std::string::npos) << run.log;
    EXPECT_NE(run.log.find("readme.txt._.zip"), std::string::npos) << run.log;
    EXPECT_EQ(run.exitCode, static_cast<long long>(release.size())) << run.log;
    EXPECT_FALSE(FileExists(saved_));
}

// Without the server there is nothing to check the saved list against: the
// new instance installs nothing of it, and says so.
TEST_F(ElevatedHandoverTest, WithoutTheServerNothingOfTheSavedListIsInstalled) {
    const test::EngineIni config = OfflineConfig();
    Brand(config);
    for (const wchar_t* mode : {L"appenter", L"silence"}) {
        SCOPED_TRACE(Narrow(mode));
        DownLoadList list;
        list.Add(FileRecord(L"data\\bank.db", L"4"));
        const std::wstring digest = SaveList(config, list, {{L"data\\bank.db", "bank"}});
        test::TestHost host;
        ASSERT_NE(host.window(), nullptr);
        const test::EngineRun run = RunElevated(host, mode, digest);
        ASSERT_GE(run.exitCode, 0);

        const std::vector<std::wstring> statuses = host.StatusNames();
        EXPECT_EQ(std::find(statuses.begin(), statuses.end(), L"UpdateDownloadOk"), statuses.end()) << run.log;
        EXPECT_NE(std::find(statuses.begin(), statuses.end(), L"UpdateCheckRemoteError"), statuses.end()) << run.log;
        EXPECT_FALSE(FileExists(Folder() + L"data\\bank.db")) << run.log;
        EXPECT_NE(run.log.find("nothing of the handed-over update is installed"), std::string::npos) << run.log;
        EXPECT_FALSE(FileExists(saved_));
    }
}

// A saved list that the hand-over's digest does not name is not taken: the
// run checks again, and the file is gone.
TEST_F(ElevatedHandoverTest, AListWithoutTheHandOversDigestIsNotTaken) {
    const test::EngineIni config = OfflineConfig();
    Brand(config);
    for (const wchar_t* digest :
         {L"", L" /listdigest=0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"}) {
        SCOPED_TRACE(Narrow(digest));
        DownLoadList list;
        list.Add(FileRecord(L"bin\\QBank.exe", L"2"));
        list.Add(FileRecord(L"data\\bank.db", L"2"));
        (void)SaveList(config, list);
        test::TestHost host;
        ASSERT_NE(host.window(), nullptr);
        const test::EngineRun run = RunFor(host, L"silence", L"/___runas_admin___" + std::wstring(digest));
        const std::vector<std::wstring> statuses = host.Lines(L"status");
        EXPECT_EQ(std::find(statuses.begin(), statuses.end(), L"status 6 2"), statuses.end()) << run.log;
        EXPECT_NE(std::find_if(statuses.begin(), statuses.end(),
                               [](const std::wstring& status) { return StartsWith(status, L"status 1 "); }),
                  statuses.end())
            << run.log;
        EXPECT_FALSE(FileExists(saved_));
    }
}

}  // namespace
}  // namespace mf
