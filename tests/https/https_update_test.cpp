// A whole update over https: nginx with a certificate of a test CA that the
// machine trusts while the suite runs (tools/servers/https-start.sh), a
// signed release published there and installed by the real engine. And the
// two ways https must not give way: a name the certificate does not carry,
// and a redirect to plain http.
#include <gtest/gtest.h>

#include "base/files.h"
#include "base/strings.h"
#include "publish/publish_support.h"
#include "support/end_to_end.h"
#include "support/test_host.h"
#include "support/test_servers.h"
#include "support/test_support.h"

namespace mf {
namespace {

using test::Quoted;

const test::Tree kRelease = {{L"readme.txt", "over https\r\n"}, {L"bin\\tool.dat", std::string(70000, 't')}};

class HttpsUpdate : public test::EndToEndTest {
protected:
    HttpsUpdate() : EndToEndTest(L"https-e2e") {}
    void TearDown() override {
        RemoveTree(site_.Root());
        for (const wchar_t* suffix : {L"", L".sig"}) DeleteFileForce(mainList_ + suffix);
    }

    // The site's address of a file over https ("https://localhost:PORT/...").
    std::wstring Https(const std::wstring& file, const std::wstring& location = L"") const {
        const std::wstring plain = Widen(site_.Url(file));
        const std::wstring base = test::ServerUrl(L"nginx");
        return test::ServerUrl(L"https") + location + plain.substr(base.size());
    }
    void PublishSignedRelease() {
        test::WriteTree(release_, kRelease);
        ASSERT_EQ(test::RunPublish(L"--new-key " + Quoted(key_)).exitCode, 0);
        const test::ToolRun run = test::RunPublish(Quoted(release_) + L" " + Quoted(site_.Root()) + L" --quiet --key " +
                                                   Quoted(key_) + L" --expires 2");
        ASSERT_EQ(run.exitCode, 0) << Narrow(run.err);
        ASSERT_TRUE(test::WriteFileBytes(mainList_, test::UpdateList()));
        ASSERT_EQ(test::RunPublish(L"--sign " + Quoted(mainList_) + L" --key " + Quoted(key_)).exitCode, 0);
    }
    void BrandFor(const std::wstring& listUrl, bool withKey) {
        test::EngineIni ini = ProductIni();
        ini.Set(L"Mirefold", L"QuickCheck", 0).Remove(L"APPLICATION", L"Application");
        ini.Set(L"UPDATEINFO", L"ListURL", listUrl)
            .Set(L"UPDATEINFO", L"MainListURL", test::ServerUrl(L"https") + L"https-e2e/" + MainListName());
        if (withKey) ini.Set(L"UPDATEINFO", L"PublicKey", Widen(test::ReadFileBytes(key_ + L".pub"), CodePage::Utf8));
        Brand(ini);
    }
    test::EngineRun SilentUpdate() const {
        test::TestHost host;
        return RunFor(host, L"-silence", L"", std::chrono::seconds(90));
    }
    std::wstring MainListName() const { return L"main-" + name() + L".xml"; }

    std::wstring key_ = folder_ / L"vendor.key";
    std::wstring release_ = folder_ / L"release";
    std::wstring mainList_ = test::WwwPath(L"https-e2e\\" + MainListName());
};

TEST_F(HttpsUpdate, SignedReleaseInstallsOverHttps) {
    PublishSignedRelease();
    BrandFor(Https(L"update.xml"), true);
    const test::EngineRun run = SilentUpdate();
    ExpectInstalled(kRelease);
    // Lists, signatures and files all came over https.
    const std::string served = test::ReadFileBytes(test::BuildPath(L"servers\\https\\access.log"));
    for (const wchar_t* file : {L"update.xml", L"update.xml.sig", L"readme.txt._.zip"}) {
        const std::string path = Narrow(Https(file).substr(test::ServerUrl(L"https").size() - 1));
        const bool fetched =
            served.find("200 GET " + path) != std::string::npos || served.find("206 GET " + path) != std::string::npos;
        EXPECT_TRUE(fetched) << path << "\n" << served << run.log;
    }
}

TEST_F(HttpsUpdate, NameTheCertificateDoesNotCarryFailsTheCheck) {
    PublishSignedRelease();
    // The same server by its address: the certificate names "localhost" only.
    std::wstring byAddress = Https(L"update.xml");
    ReplaceAll(byAddress, L"https://localhost:", L"https://127.0.0.1:");
    BrandFor(byAddress, true);
    const test::EngineRun run = SilentUpdate();
    EXPECT_NE(run.log.find("WinINet error 12038"), std::string::npos) << run.log;
    EXPECT_NE(run.log.find("error when download the list file."), std::string::npos) << run.log;
    EXPECT_FALSE(FileExists(Folder() + L"readme.txt"));
}

TEST_F(HttpsUpdate, RedirectToPlainHttpIsRefused) {
    PublishSignedRelease();
    BrandFor(Https(L"update.xml", L"to-http/"), false);
    const test::EngineRun run = SilentUpdate();
    EXPECT_NE(run.log.find("Refused a redirect from https to http://127.0.0.1:"), std::string::npos) << run.log;
    EXPECT_FALSE(FileExists(Folder() + L"readme.txt"));
}

}  // namespace
}  // namespace mf
