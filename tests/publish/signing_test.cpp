// mirefold-publish signing releases: a key made once and never overwritten,
// a signed release (SHA-256 on every file, the serial on the list, the
// list's signature beside it) checked with the engine's own key code, the
// serial counted on from the previous release, and a hand-made list signed.
#include <gtest/gtest.h>

#include "base/files.h"
#include "base/handles.h"
#include "base/signing.h"
#include "base/strings.h"
#include "base/xml_dom.h"
#include "check/update_list_reader.h"
#include "list/release_marks.h"
#include "publish/publish_support.h"
#include "support/engine_fixture.h"
#include "support/test_support.h"

namespace mf {
namespace {

using test::Quoted;

class PublishSigning : public test::EngineFixture {
protected:
    void SetUp() override {
        test::EngineFixture::SetUp();
        const test::ToolRun made = test::RunPublish(L"--new-key " + Quoted(keyFile_));
        ASSERT_EQ(made.exitCode, 0) << Narrow(made.err);
        auto key = VerifyingKey::FromText(Widen(test::ReadFileBytes(keyFile_ + L".pub"), CodePage::Utf8));
        ASSERT_TRUE(key);
        key_ = std::move(*key);
    }
    test::ToolRun Publish(const std::wstring& options) {
        return test::RunPublish(Quoted(release_) + L" " + Quoted(out_) + L" --quiet --key " + Quoted(keyFile_) + L" " +
                                options);
    }
    [[nodiscard]] bool SignatureHolds(const std::wstring& list) const {
        return key_.Verifies(test::ReadFileBytes(list), test::ReadFileBytes(list + L".sig"));
    }
    [[nodiscard]] std::wstring Serial(const std::wstring& list) const {
        return ReadRootMarks(test::ReadFileBytes(list)).serial;
    }

    ComInit com_;
    std::wstring keyFile_ = InFolder(L"vendor.key");
    std::wstring release_ = InFolder(L"release");
    std::wstring out_ = InFolder(L"www");
    VerifyingKey key_;
};

TEST_F(PublishSigning, KeyFilesSayWhatTheyAreAndAreNeverOverwritten) {
    const std::string secret = test::ReadFileBytes(keyFile_);
    const std::vector<std::wstring> lines = test::Lines(Widen(secret, CodePage::Utf8));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(L"signing key"), std::wstring::npos);
    EXPECT_TRUE(StartsWith(lines[1], kPrivateKeyPrefix));
    EXPECT_EQ(test::Lines(Widen(test::ReadFileBytes(keyFile_ + L".pub"))).size(), 1u);

    // Neither the key nor, alone, its public file is replaced.
    const std::string publicLine = test::ReadFileBytes(keyFile_ + L".pub");
    EXPECT_EQ(test::RunPublish(L"--new-key " + Quoted(keyFile_)).exitCode, 1);
    ASSERT_TRUE(DeleteFileForce(keyFile_));
    EXPECT_EQ(test::RunPublish(L"--new-key " + Quoted(keyFile_)).exitCode, 1);
    EXPECT_FALSE(FileExists(keyFile_));
    EXPECT_EQ(test::ReadFileBytes(keyFile_ + L".pub"), publicLine);

    // A public key is no signing key.
    test::WriteTree(release_, {{L"a.txt", "a"}});
    EXPECT_EQ(test::RunPublish(Quoted(release_) + L" " + Quoted(out_) + L" --quiet --key " + Quoted(keyFile_ + L".pub"))
                  .exitCode,
              1);
    EXPECT_FALSE(FolderExists(out_));
}

TEST_F(PublishSigning, SignedReleaseCarriesDigestsSerialAndSignature) {
    test::WriteTree(release_, {{L"a.txt", "abc"}, {L"sub\\b.bin", std::string(5000, 'b')}});
    test::ToolRun run = Publish(L"--serial 41 --expires 30");
    ASSERT_EQ(run.exitCode, 0) << Narrow(run.err);
    EXPECT_NE(run.out.find(L"signed as serial 41"), std::wstring::npos) << run.out;
    const std::wstring list = out_ + L"\\update.xml";
    EXPECT_TRUE(SignatureHolds(list));
    EXPECT_EQ(Serial(list), L"41");
    const std::optional<std::int64_t> expires = ParseUtcTime(ReadRootMarks(test::ReadFileBytes(list)).expires);
    ASSERT_TRUE(expires);

    DownLoadList read;
    ASSERT_TRUE(ReadUpdateList(list, read, true));
    ASSERT_EQ(read.GetSize(), 2);
    EXPECT_EQ(read[0].sha256, L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(read[1].sha256, HexText(*Sha256OfBytes(std::string(5000, 'b'))));

    // The next release counts on from the previous one, into the same folder.
    test::WriteTree(release_, {{L"a.txt", "abd"}});
    run = Publish(L"--previous " + Quoted(out_));
    ASSERT_EQ(run.exitCode, 0) << Narrow(run.err);
    EXPECT_EQ(Serial(list), L"42");
    EXPECT_TRUE(SignatureHolds(list));
    EXPECT_EQ(ReadRootMarks(test::ReadFileBytes(list)).expires, L"");

    // An unsigned release is as before: no serial, no digests, no signature.
    ASSERT_EQ(test::RunPublish(Quoted(release_) + L" " + Quoted(out_) + L" --quiet").exitCode, 0);
    EXPECT_EQ(Serial(list), L"");
    EXPECT_FALSE(FileExists(list + L".sig"));
    EXPECT_EQ(test::ReadFileBytes(list).find("sha256"), std::string::npos);
}

TEST_F(PublishSigning, HandMadeListIsSignedWithTheSerialGiven) {
    const std::wstring list = InFolder(L"main.xml");
    ASSERT_TRUE(test::WriteFileBytes(list,
                                     "<?xml version=\"1.0\"?>\r\n<update>\r\n  <file path=\"x\" ver=\"1\"/>\r\n"
                                     "</update>\r\n"));
    test::ToolRun run = test::RunPublish(L"--sign " + Quoted(list) + L" --key " + Quoted(keyFile_));
    ASSERT_EQ(run.exitCode, 0) << Narrow(run.err);
    EXPECT_TRUE(SignatureHolds(list));
    EXPECT_EQ(Serial(list), L"");

    run = test::RunPublish(L"--sign " + Quoted(list) + L" --key " + Quoted(keyFile_) + L" --serial 9");
    ASSERT_EQ(run.exitCode, 0) << Narrow(run.err);
    EXPECT_TRUE(SignatureHolds(list));
    EXPECT_EQ(Serial(list), L"9");
    DownLoadList read;
    ASSERT_TRUE(ReadUpdateList(list, read, true));
    EXPECT_EQ(read.GetSize(), 1);

    for (const wchar_t* wrong : {L"--sign", L"--sign x.xml", L"--sign x.xml --key k --expires 3",
                                 L"--new-key k --serial 3", L"--new-key k --sign x.xml --key k"})
        EXPECT_EQ(test::RunPublish(wrong).exitCode, 2) << Narrow(wrong);
}

}  // namespace
}  // namespace mf
