// "checkforupdates" with the real engine against nginx and the digest
// service: the exit code reports the files to update.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>

#include "base/strings.h"
#include "engine/paths.h"
#include "support/engine_runner.h"
#include "support/test_host.h"

namespace mf {
namespace {

std::wstring ServerUrl(const std::wstring& name) {
    return Trim(Widen(test::ReadFileBytes(test::BuildPath(L"servers\\" + name + L"\\url")), CodePage::Utf8));
}

std::string List(const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update>\r\n" + entries + "</update>\r\n";
}

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

class CheckForUpdatesRun : public ::testing::Test {
protected:
    void SetUp() override {
        name_ = site_.name();
        exe_ = folder_ / L"mirefold.exe";
    }

    void Publish(const std::wstring& file, const std::string& text) { ASSERT_TRUE(site_.Publish(file, text)); }
    std::string Url(const std::wstring& file) const { return site_.Url(file); }
    // `extra` goes to section UPDATEINFO, `application` to APPLICATION.
    void Brand(const std::string& extra, const std::string& application = "") {
        const std::string config =
            "[Mirefold]\r\nLog=inst.log\r\nShowWhenCheck=0\r\nQuickCheck=0\r\nCheckLostFile=1\r\n"
            "[APPLICATION]\r\nName=" +
            Narrow(name_) + "\r\nAgentName=qbagent\r\nzqdir=Z1\r\nVer=2.0\r\n" + application +
            "[UPDATEINFO]\r\nMainListURL=" + Url(L"main.xml") +
            "\r\nFileMd5HandleUrl=" + Narrow(ServerUrl(L"checkservice")) + "md5\r\n" + extra;
        ASSERT_TRUE(test::BrandEngine(config, exe_));
    }
    test::EngineRun Check() { return test::RunEngine(exe_, L"checkforupdates", name_); }
    std::wstring Folder() const { return site_.Folder(); }

    test::TempFolder folder_;
    test::ProductSite site_{L"check-e2e"};
    std::wstring name_, exe_;
};

TEST_F(CheckForUpdatesRun, ExitCodeCountsTheFilesToUpdate) {
    Publish(L"update.xml", List(kProduct));
    Publish(L"main.xml", List(kMain));
    Brand("ListURL=" + Url(L"update.xml") + "\r\n");

    test::EngineRun run = Check();
    EXPECT_EQ(run.exitCode, 4) << run.log;  // empty installation: every file
    EXPECT_NE(run.log.find("Found 4 files need to update..."), std::string::npos) << run.log;

    // The installed release is now the checked list; its files are present,
    // except one that got lost.
    const std::wstring folder = Folder();
    std::string installed = List(kProduct + "<file path=\"common\\shared.dll\" ver=\"3\"/>\r\n");
    test::WriteFileBytes(folder + L"mirefold.xml", installed);
    for (const wchar_t* file : {L"bin", L"data", L"common"}) CreateFolderTree(folder + file);
    for (const wchar_t* file : {L"bin\\app.exe", L"data\\q.db", L"common\\shared.dll"})
        test::WriteFileBytes(folder + file, "x");
    Publish(L"main.xml", List("<file path=\"common\\shared.dll\" ver=\"3\"/>\r\n"));
    run = Check();
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_NE(run.log.find("Find nothing to update."), std::string::npos) << run.log;

    // One changed key and one missing file.
    Publish(L"update.xml",
            List("<file path=\"bin\\app.exe\" ver=\"1.3\"/>\r\n<file path=\"data\\q.db\" ver=\"7\"/>\r\n"));
    ::DeleteFileW((folder + L"data\\q.db").c_str());
    run = Check();
    EXPECT_EQ(run.exitCode, 2) << run.log;
}

TEST_F(CheckForUpdatesRun, HostWindowFollowsTheCheck) {
    Publish(L"update.xml", List(kProduct));
    Publish(L"main.xml", List(kMain));
    Brand("ListURL=" + Url(L"update.xml") + "\r\n");
    test::TestHost host;
    ASSERT_NE(host.window(), nullptr);
    const test::EngineRun run =
        test::RunEngine(exe_, L"checkforupdates " + std::to_wstring(reinterpret_cast<UINT_PTR>(host.window())), name_);
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
    Publish(L"update.xml", List(kProduct));
    Publish(L"main.xml", List(kMain));
    Publish(L"update.xml.gz", Gzipped(List(kProduct)));
    Publish(L"main.xml.gz", Gzipped(List(kMain)));
    const std::string plain = Url(L"update.xml");
    const std::string base = Narrow(ServerUrl(L"nginx"));
    ASSERT_EQ(plain.rfind(base, 0), 0u);
    const auto compressing = [&](const std::string& url) { return base + "gzip-always/" + url.substr(base.size()); };
    // Both lists from the compressing location.
    const std::string config = "[Mirefold]\r\nLog=inst.log\r\nShowWhenCheck=0\r\nQuickCheck=0\r\n[APPLICATION]\r\nName=" +
                               Narrow(name_) + "\r\nAgentName=qbagent\r\nzqdir=Z1\r\nVer=2.0\r\n[UPDATEINFO]\r\nMainListURL=" +
                               compressing(Url(L"main.xml")) + "\r\nListURL=" + compressing(plain) + "\r\n";
    ASSERT_TRUE(test::BrandEngine(config, exe_));
    const test::EngineRun run = Check();
    EXPECT_EQ(run.exitCode, 4) << run.log;
    EXPECT_NE(run.log.find("Found 4 files need to update..."), std::string::npos) << run.log;
}

TEST_F(CheckForUpdatesRun, AnnouncedVersionGivesTheLargestExitCode) {
    Publish(L"ver.txt", "<ver>3.0</ver>");
    Brand("ListURL=" + Url(L"ver.txt") + "\r\n", "CheckVerNumber=1\r\n");
    const test::EngineRun run = Check();
    EXPECT_EQ(run.exitCode, 2147483647) << run.log;
}

TEST_F(CheckForUpdatesRun, FailedListGivesZero) {
    Publish(L"update.xml", List(kProduct));  // no main list
    Brand("ListURL=" + Url(L"update.xml") + "\r\n");
    const test::EngineRun run = Check();
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_NE(run.log.find("error when download the list file."), std::string::npos) << run.log;
}

}  // namespace
}  // namespace mf
