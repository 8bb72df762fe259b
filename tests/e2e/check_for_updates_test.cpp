// "checkforupdates" with the real engine against nginx and the digest
// service: the exit code reports the files to update.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>

#include "base/strings.h"
#include "engine/paths.h"
#include "support/end_to_end.h"
#include "support/test_host.h"
#include "support/test_servers.h"

namespace mf {
namespace {

using test::UpdateList;

const std::string kProduct =
    "<file path=\"bin\\app.exe\" ver=\"1.2\"/>\r\n<file path=\"data\\q.db\" ver=\"7\"/>\r\n"
    "<description>Welcome</description>\r\n";
const std::string kMain =
    "<file path=\"{agentName}\\agent.dll\" desname=\"{zqdir}\\agent.dll\"/>\r\n<file path=\"common\\shared.dll\" "
    "ver=\"3\"/>\r\n";

// The bytes as gzip writes them.
std::string Gzipped(const std::string& bytes) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

class CheckForUpdatesRun : public test::EndToEndTest {
protected:
    CheckForUpdatesRun() : EndToEndTest(L"check-e2e") {}

    // The product with its agent and version, the lists taken from the
    // given addresses.
    test::EngineIni CheckIni(const std::string& listUrl, const std::string& mainListUrl) const {
        test::EngineIni ini = ProductIni();
        ini.Set(L"Mirefold", L"QuickCheck", 0).Remove(L"APPLICATION", L"Application");
        ini.Lines(L"APPLICATION", {L"AgentName=qbagent", L"zqdir=Z1", L"Ver=2.0"});
        ini.Set(L"UPDATEINFO", L"ListURL", Widen(listUrl)).Set(L"UPDATEINFO", L"MainListURL", Widen(mainListUrl));
        return ini;
    }
    // With the lost-file check and the digest service; the product list
    // from `listUrl`, `application` more lines of section APPLICATION.
    void Brand(const std::string& listUrl, const std::vector<std::wstring>& application = {}) {
        test::EngineIni ini = CheckIni(listUrl, Url(L"main.xml"));
        ini.Set(L"Mirefold", L"CheckLostFile", 1).Lines(L"APPLICATION", application);
        ini.Set(L"UPDATEINFO", L"FileMd5HandleUrl", test::ServerUrl(L"checkservice") + L"md5");
        EndToEndTest::Brand(ini);
    }
    test::EngineRun Check() { return Run(L"checkforupdates"); }
};

TEST_F(CheckForUpdatesRun, ExitCodeCountsTheFilesToUpdate) {
    Publish(L"update.xml", UpdateList(kProduct));
    Publish(L"main.xml", UpdateList(kMain));
    Brand(Url(L"update.xml"));

    test::EngineRun run = Check();
    EXPECT_EQ(run.exitCode, 4) << run.log;  // empty installation: every file
    EXPECT_NE(run.log.find("Found 4 files need to update..."), std::string::npos) << run.log;

    // The installed release is now the checked list; its files are present,
    // except one that got lost.
    const std::wstring folder = Folder();
    std::string installed = UpdateList(kProduct + "<file path=\"common\\shared.dll\" ver=\"3\"/>\r\n");
    test::WriteFileBytes(folder + L"mirefold.xml", installed);
    for (const wchar_t* file : {L"bin", L"data", L"common"}) CreateFolderTree(folder + file);
    for (const wchar_t* file : {L"bin\\app.exe", L"data\\q.db", L"common\\shared.dll"})
        test::WriteFileBytes(folder + file, "x");
    Publish(L"main.xml", UpdateList("<file path=\"common\\shared.dll\" ver=\"3\"/>\r\n"));
    run = Check();
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_NE(run.log.find("Find nothing to update."), std::string::npos) << run.log;

    // One changed key and one missing file.
    Publish(L"update.xml",
            UpdateList("<file path=\"bin\\app.exe\" ver=\"1.3\"/>\r\n<file path=\"data\\q.db\" ver=\"7\"/>\r\n"));
    ::DeleteFileW((folder + L"data\\q.db").c_str());
    run = Check();
    EXPECT_EQ(run.exitCode, 2) << run.log;
}

TEST_F(CheckForUpdatesRun, HostWindowFollowsTheCheck) {
    Publish(L"update.xml", UpdateList(kProduct));
    Publish(L"main.xml", UpdateList(kMain));
    Brand(Url(L"update.xml"));
    test::TestHost host;
    ASSERT_NE(host.window(), nullptr);
    const test::EngineRun run = RunFor(host, L"checkforupdates");
    EXPECT_EQ(run.exitCode, 4) << run.log;
    // "UpdateNone" at start-up, the remote check (then its success with the
    // count), and "UpdateEnd" when the flow ends.
    const std::vector<std::wstring> statuses = host.Statuses();
    ASSERT_GE(statuses.size(), 4u);
    EXPECT_EQ(statuses.front(), L"UpdateNone 0");
    const auto checking = std::find(statuses.begin(), statuses.end(), L"UpdateCheckRemote 0");
    const auto found = std::find(statuses.begin(), statuses.end(), L"UpdateCheckRemoteOk 4");
    EXPECT_TRUE(checking < found);
    EXPECT_NE(found, statuses.end());
    EXPECT_EQ(statuses.back(), L"UpdateEnd 4");
    // The list's message, as one description (the recorder writes a line
    // break as the two characters \r\n).
    EXPECT_EQ(host.Lines(L"description"), (std::vector<std::wstring>{L"description Welcome\\r\\n"}));
    // Text lines come without the working folder.
    for (const std::wstring& line : host.Lines(L"text"))
        EXPECT_EQ(line.find(Folder()), std::wstring::npos) << Narrow(line, CodePage::Utf8);
}

TEST_F(CheckForUpdatesRun, ServerThatCompressesUnaskedIsReadAsSent) {
    // nginx "gzip_static always" sends "<list>.gz" with Content-Encoding
    // gzip whatever the request asked for.
    Publish(L"update.xml", UpdateList(kProduct));
    Publish(L"main.xml", UpdateList(kMain));
    Publish(L"update.xml.gz", Gzipped(UpdateList(kProduct)));
    Publish(L"main.xml.gz", Gzipped(UpdateList(kMain)));
    // Both lists from the compressing location.
    EndToEndTest::Brand(CheckIni(Url(L"update.xml", L"gzip-always/"), Url(L"main.xml", L"gzip-always/")));
    const test::EngineRun run = Check();
    EXPECT_EQ(run.exitCode, 4) << run.log;
    EXPECT_NE(run.log.find("Found 4 files need to update..."), std::string::npos) << run.log;
}

TEST_F(CheckForUpdatesRun, AnnouncedVersionGivesTheLargestExitCode) {
    Publish(L"ver.txt", "<ver>3.0</ver>");
    Brand(Url(L"ver.txt"), {L"CheckVerNumber=1"});
    const test::EngineRun run = Check();
    EXPECT_EQ(run.exitCode, 2147483647) << run.log;
}

TEST_F(CheckForUpdatesRun, FailedListGivesZero) {
    Publish(L"update.xml", UpdateList(kProduct));  // no main list
    Brand(Url(L"update.xml"));
    const test::EngineRun run = Check();
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_NE(run.log.find("error when download the list file."), std::string::npos) << run.log;
}

}  // namespace
}  // namespace mf
