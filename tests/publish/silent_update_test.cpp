// A published release installed by the real engine: publish, serve with
// nginx, run a silent update of an empty installation, compare the tree;
// then publish a release that changes two files and see only those fetched.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/files.h"
#include "base/handles.h"
#include "base/strings.h"
#include "check/update_list_reader.h"
#include "publish/publish_support.h"
#include "support/end_to_end.h"
#include "support/test_host.h"
#include "support/test_servers.h"
#include "support/test_support.h"

namespace mf {
namespace {

using test::Quoted;
using test::Tree;

// What an installation should do besides copying files, kept harmless.
const char kManifest[] =
    "[message]\r\n"
    "A new release\r\n"
    "[file:bin\\app.exe]\r\n"
    "shortcut={desktop}\\Mirefold e2e.lnk\r\n"
    "shortcuticon=bin\\app.exe\r\n"
    "[delete]\r\n"
    "old\\legacy.dll\r\n"
    "[command:mark]\r\n"
    "path=cmd.exe\r\n"
    "param=/c echo done> command-ran.txt\r\n"
    "wait=yes\r\n";

class SilentUpdateOfAPublishedRelease : public test::EndToEndTest {
protected:
    SilentUpdateOfAPublishedRelease() : EndToEndTest(L"publish-e2e") {}
    void SetUp() override {
        // The main list lies beside the site, which the tool publishes anew.
        test::WriteFileBytes(test::WwwPath(L"publish-e2e\\" + MainListName()), test::UpdateList());
    }
    void TearDown() override { RemoveTree(site_.Root()); }

    std::wstring MainListName() const { return L"main-" + name() + L".xml"; }

    void PublishWithTool(const Tree& release, const std::wstring& options, test::ToolRun& run) {
        const std::wstring folder = folder_ / (L"r" + ToWString(++releases_));
        test::WriteTree(folder, release);
        test::WriteFileBytes(folder + L"\\mirefold-publish.ini", kManifest);
        run = test::RunPublish(Quoted(folder) + L" " + Quoted(site_.Root()) + L" --quiet " + options);
        ASSERT_EQ(run.exitCode, 0) << Narrow(run.err, CodePage::Utf8);
    }

    void Brand() {
        test::EngineIni ini = ProductIni();
        ini.Set(L"Mirefold", L"QuickCheck", 0).Remove(L"APPLICATION", L"Application");
        ini.Set(L"UPDATEINFO", L"MainListURL", test::ServerUrl(L"nginx") + L"publish-e2e/" + MainListName());
        EndToEndTest::Brand(ini);
    }

    test::EngineRun SilentUpdate() {
        test::TestHost host;
        return RunFor(host, L"-silence", L"", std::chrono::seconds(90));
    }

    // The release installed, with what its manifest asks besides copying.
    // The installed list is the published one as the engine keeps it (merged
    // with the empty main list and saved anew), so it is compared by what
    // the next check reads from it, not byte by byte.
    void ExpectPublishedInstalled(const Tree& release) const {
        ExpectInstalled(release);
        EXPECT_FALSE(FileExists(Folder() + L"old\\legacy.dll"));
        const ComInit com;
        DownLoadList installed;
        DownLoadList published;
        ASSERT_TRUE(ReadUpdateList(Folder() + L"mirefold.xml", installed, true));
        ASSERT_TRUE(ReadUpdateList(site_.Root() + L"\\update.xml", published, true));
        EXPECT_FALSE(published.Records().empty());
        EXPECT_EQ(installed.Records(), published.Records());
        EXPECT_EQ(installed.commands, published.commands);
        EXPECT_TRUE(installed.listIdentifier.empty());
    }

    int releases_ = 0;
};

TEST_F(SilentUpdateOfAPublishedRelease, EmptyInstallationBecomesTheReleaseThenTakesOnlyTheChangedFiles) {
    Tree release = test::SampleRelease();
    test::ToolRun published;
    PublishWithTool(release, L"", published);
    Brand();
    // An installation holding a file that the release deletes.
    CreateFolderTree(Folder() + L"old");
    test::WriteFileBytes(Folder() + L"old\\legacy.dll", "old");

    test::EngineRun run = SilentUpdate();
    ExpectPublishedInstalled(release);
    EXPECT_NE(run.log.find("cmd.exe"), std::string::npos) << run.log;  // the command was run

    // The next release changes two files; the tool names them and the
    // engine fetches only them.
    release[L"readme.txt"] = "read me again\r\n";
    release[test::kBigFile][10] = '#';
    PublishWithTool(release, L"--previous " + Quoted(site_.Root()), published);
    EXPECT_EQ(test::Lines(published.out).size(), 3u);  // two "changed" lines and the summary
    const std::string firstLog = run.log;
    run = SilentUpdate();
    ExpectPublishedInstalled(release);
    // The log goes on from the first run's; only the second run's lines count.
    ASSERT_TRUE(run.log.starts_with(firstLog)) << run.log;
    const std::string secondLog = run.log.substr(firstLog.size());
    // A fetched file logs "done[<url>]" when its request ends and
    // "done[<path>]" when it is counted; lists log only the first.
    std::vector<std::wstring> fetched;
    for (const std::wstring& line : test::Lines(Widen(secondLog))) {
        const std::size_t at = line.find(L"done[");
        if (at != std::wstring::npos && line.compare(at + 5, 4, L"http") != 0) fetched.push_back(line.substr(at));
    }
    EXPECT_EQ(fetched.size(), 2u) << secondLog;
    EXPECT_EQ(std::count(fetched.begin(), fetched.end(), L"done[readme.txt]"), 1) << secondLog;
}

}  // namespace
}  // namespace mf
