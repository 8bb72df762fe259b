// Signed releases end to end: releases published with a key, served by
// nginx, installed by the real engine branded with the public key. What a
// mirror or a man in the middle might serve instead - a tampered file whose
// keys were changed in the list, a list without its signature or with a
// cut one, an older release signed by the vendor - is never installed; nor
// does a packed engine of an older release take a newer installation back.
#include <gtest/gtest.h>

#include "base/files.h"
#include "base/md5.h"
#include "base/signing.h"
#include "base/strings.h"
#include "publish/publish_support.h"
#include "support/end_to_end.h"
#include "support/test_host.h"
#include "support/test_servers.h"
#include "support/test_support.h"

namespace mf {
namespace {

using test::Quoted;
using test::Tree;

const Tree kRelease1 = {{L"readme.txt", "release one\r\n"}, {L"bin\\tool.dat", std::string(3000, '1')}};
const Tree kRelease2 = {{L"readme.txt", "release two\r\n"}, {L"bin\\tool.dat", std::string(3000, '2')}};

class SignedRelease : public test::EndToEndTest {
protected:
    SignedRelease() : EndToEndTest(L"signed-e2e") {}
    void SetUp() override {
        ASSERT_EQ(test::RunPublish(L"--new-key " + Quoted(keyFile_)).exitCode, 0);
        // The main list lies beside the site (which the tool publishes
        // anew) and is signed like any list.
        ASSERT_TRUE(test::WriteFileBytes(mainList_, test::UpdateList()));
        ASSERT_EQ(test::RunPublish(L"--sign " + Quoted(mainList_) + L" --key " + Quoted(keyFile_)).exitCode, 0);
    }
    void TearDown() override {
        RemoveTree(site_.Root());
        DeleteFileForce(mainList_);
        DeleteFileForce(mainList_ + L".sig");
    }

    void PublishTree(const Tree& release, const std::wstring& options) {
        const std::wstring folder = folder_ / (L"r" + ToWString(++releases_));
        test::WriteTree(folder, release);
        const test::ToolRun run =
            test::RunPublish(Quoted(folder) + L" " + Quoted(site_.Root()) + L" --quiet " + options);
        ASSERT_EQ(run.exitCode, 0) << Narrow(run.err, CodePage::Utf8);
    }
    void PublishSigned(const Tree& release, int serial) {
        PublishTree(release, L"--key " + Quoted(keyFile_) + L" --serial " + ToWString(serial));
    }

    test::EngineIni Configuration(bool withKey) const {
        test::EngineIni ini = ProductIni();
        ini.Set(L"Mirefold", L"QuickCheck", 0).Remove(L"APPLICATION", L"Application");
        ini.Set(L"UPDATEINFO", L"MainListURL", test::ServerUrl(L"nginx") + L"signed-e2e/" + MainListName());
        if (withKey)
            ini.Set(L"UPDATEINFO", L"PublicKey", Widen(test::ReadFileBytes(keyFile_ + L".pub"), CodePage::Utf8));
        return ini;
    }
    void BrandWithKey(bool withKey) { Brand(Configuration(withKey)); }

    test::EngineRun SilentUpdate(const std::wstring& engine = {}) const {
        test::TestHost host;
        return test::RunEngine(engine.empty() ? exe_ : engine, L"-silence " + host.HandleArgument(), name(),
                               std::chrono::seconds(90));
    }
    // The part of the log that a run added after the log `before`.
    static std::string Added(const test::EngineRun& run, const std::string& before) {
        return run.log.starts_with(before) ? run.log.substr(before.size()) : run.log;
    }
    [[nodiscard]] std::string InstalledSerial() const { return test::ReadFileBytes(Folder() + L"mirefold.serial"); }

    // Packs the engine branded as configured with the site's release.
    void PackSite(bool withKey, const std::wstring& packed) const {
        const std::wstring branded = folder_ / L"to-pack.exe";
        ASSERT_TRUE(test::BrandEngine(Configuration(withKey), branded));
        ASSERT_EQ(test::RunAndWait(Quoted(test::BuildPath(L"bin\\mirefold-pack.exe")) + L" " + Quoted(branded) + L" " +
                                   Quoted(site_.Root()) + L" " + Quoted(packed)),
                  0);
    }

    std::wstring MainListName() const { return L"main-" + name() + L".xml"; }
    void RunPackedOlderRelease(bool withKey);

    std::wstring keyFile_ = folder_ / L"vendor.key";
    std::wstring mainList_ = test::WwwPath(L"signed-e2e\\" + MainListName());
    int releases_ = 0;
};

TEST_F(SignedRelease, InstallsAndANewerOneFollowsButAnOlderOneNeverComesBack) {
    PublishSigned(kRelease1, 5);
    BrandWithKey(true);
    test::EngineRun run = SilentUpdate();
    ExpectInstalled(kRelease1);
    EXPECT_EQ(InstalledSerial(), "5\r\n") << run.log;

    PublishSigned(kRelease2, 6);
    std::string before = run.log;
    run = SilentUpdate();
    ExpectInstalled(kRelease2);
    EXPECT_EQ(InstalledSerial(), "6\r\n") << run.log;

    // Release 1 served again, validly signed by the vendor.
    PublishSigned(kRelease1, 5);
    before = run.log;
    run = SilentUpdate();
    const std::string added = Added(run, before);
    EXPECT_NE(added.find("List refused"), std::string::npos) << added;
    EXPECT_NE(added.find("older than the one installed"), std::string::npos) << added;
    EXPECT_NE(added.find("error when download the list file."), std::string::npos) << added;
    ExpectInstalled(kRelease2);
    EXPECT_EQ(InstalledSerial(), "6\r\n");
}

// The served list names a tampered file, its MD5 and SHA-256 changed to
// match; the list's zip variant is gone so that the list itself is taken.
void TamperWithReadme(const std::wstring& root) {
    const std::string evil = "evil\r\n";
    ASSERT_TRUE(test::WriteFileBytes(root + L"\\readme.txt", evil));
    DeleteFileForce(root + L"\\readme.txt._.zip");
    DeleteFileForce(root + L"\\update.xml._.zip");
    std::string list = test::ReadFileBytes(root + L"\\update.xml");
    const std::string good = kRelease1.at(L"readme.txt");
    for (const auto& [from, to] :
         {std::pair{Narrow(Md5Of(good.data(), good.size())), Narrow(Md5Of(evil.data(), evil.size()))},
          std::pair{Narrow(HexText(*Sha256OfBytes(good))), Narrow(HexText(*Sha256OfBytes(evil)))}}) {
        const std::size_t at = list.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        list.replace(at, from.size(), to);
    }
    const std::size_t zip = list.find("zip=\"1\"", list.find("readme.txt"));
    ASSERT_NE(zip, std::string::npos);
    list.replace(zip, 7, "zip=\"0\"");
    ASSERT_TRUE(test::WriteFileBytes(root + L"\\update.xml", list));
}

TEST_F(SignedRelease, TamperedFileWithItsKeysChangedInTheListIsNeverInstalled) {
    PublishSigned(kRelease1, 5);
    BrandWithKey(true);
    test::EngineRun run = SilentUpdate();
    ExpectInstalled(kRelease1);
    TamperWithReadme(site_.Root());

    const std::wstring signature = site_.Root() + L"\\update.xml.sig";
    const std::string original = test::ReadFileBytes(signature);
    struct Case {
        const char* what;
        std::optional<std::string> signature;
    };
    const Case cases[] = {
        {"the release's signature", original},
        {"no signature", std::nullopt},
    };
    for (const Case& c : cases) {
        if (c.signature) {
            ASSERT_TRUE(test::WriteFileBytes(signature, *c.signature));
        } else {
            DeleteFileForce(signature);
        }
        const std::string before = run.log;
        run = SilentUpdate();
        const std::string added = Added(run, before);
        EXPECT_NE(added.find("List refused"), std::string::npos) << c.what << "\n" << added;
        ExpectInstalled(kRelease1);
    }

    // The same site to an engine without the key: the attack works there,
    // which is what the key is for.
    BrandWithKey(false);
    SilentUpdate();
    EXPECT_EQ(test::ReadFileBytes(Folder() + L"readme.txt"), "evil\r\n");
}

// An installation updated to release 2 online, then the packed engine of
// release 1 run there (unsigned: a package without a serial; signed: one
// whose serial is lower).
void SignedRelease::RunPackedOlderRelease(bool withKey) {
    const std::wstring packed = folder_ / L"packed.exe";
    if (withKey) {
        PublishSigned(kRelease1, 5);
    } else {
        PublishTree(kRelease1, L"");
    }
    PackSite(withKey, packed);
    if (withKey) {
        PublishSigned(kRelease2, 6);
    } else {
        PublishTree(kRelease2, L"");
    }
    BrandWithKey(withKey);
    test::EngineRun run = SilentUpdate();
    ExpectInstalled(kRelease2);

    const std::string before = run.log;
    run = SilentUpdate(packed);
    const std::string added = Added(run, before);
    EXPECT_NE(added.find("The package is not applied"), std::string::npos) << added;
    ExpectInstalled(kRelease2);
}

TEST_F(SignedRelease, PackedOlderUnsignedReleaseLeavesANewerInstallationAlone) {
    RunPackedOlderRelease(false);
}

TEST_F(SignedRelease, PackedOlderSignedReleaseLeavesANewerInstallationAlone) {
    RunPackedOlderRelease(true);
}

}  // namespace
}  // namespace mf
