// Whether a fetched list is taken where lists must be signed: its signature
// against the configured key, and a product list's serial and expiry
// against the installation and the clock.
#include <gtest/gtest.h>

#include "base/signing.h"
#include "base/strings.h"
#include "net/list_signature.h"

namespace mf {
namespace {

class ListSignature : public ::testing::Test {
protected:
    void SetUp() override {
        key_ = SigningKey::Generate();
        other_ = SigningKey::Generate();
        ASSERT_TRUE(key_ && other_);
        publicKey_ = key_->PublicText();
    }
    [[nodiscard]] std::wstring Refusal(const std::string& list, const std::string& signature,
                                       ListRole role = ListRole::Product,
                                       std::optional<std::uint64_t> installed = std::nullopt) const {
        return ListRefusal(publicKey_, list, signature, role, installed, now_);
    }
    [[nodiscard]] static std::string List(const std::string& rootAttributes) {
        return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update hash=\"md5\"" + rootAttributes +
               ">\r\n  <file path=\"a.exe\" md5=\"0cc175b9c0f1b6a831c399e269772661\"/>\r\n</update>\r\n";
    }

    std::optional<SigningKey> key_, other_;
    std::wstring publicKey_;
    std::int64_t now_ = *ParseUtcTime(L"2026-06-01T00:00:00Z");
};

TEST_F(ListSignature, OnlyTheKeysSignatureOfTheExactListIsTaken) {
    const std::string list = List(" serial=\"7\"");
    const std::string signature = key_->Sign(list);
    EXPECT_EQ(Refusal(list, signature), L"");

    std::string tampered = list;
    tampered.replace(tampered.find("0cc175"), 6, "ffffff");  // another file's key
    std::string badSignature = signature;
    badSignature[40] ^= 1;
    struct Case {
        const char* what;
        std::string list;
        std::string signature;
    };
    const Case cases[] = {
        {"a changed key in the list", tampered, signature},
        {"a changed byte of the signature", list, badSignature},
        {"another key's signature", list, other_->Sign(list)},
        {"a missing signature", list, ""},
        {"a truncated signature", list, signature.substr(0, 32)},
    };
    for (const Case& c : cases) EXPECT_NE(Refusal(c.list, c.signature), L"") << c.what;
    EXPECT_EQ(ListRefusal(L"ecdsa-p256:00", list, signature, ListRole::Product, std::nullopt, now_),
              L"UPDATEINFO/PublicKey is not a public key");
}

TEST_F(ListSignature, SerialAndExpiryOfASignedList) {
    struct Case {
        std::string root;
        ListRole role;
        std::optional<std::uint64_t> installed;
        bool taken;
    };
    const Case cases[] = {
        {" serial=\"7\"", ListRole::Product, 7u, true},
        {" serial=\"8\"", ListRole::Product, 7u, true},
        {" serial=\"6\"", ListRole::Product, 7u, false},
        {"", ListRole::Product, 7u, false},
        {"", ListRole::Product, std::nullopt, true},
        // The main list's serials are its own: the product's do not apply.
        {" serial=\"1\"", ListRole::Main, 7u, true},
        {" serial=\"8\" expires=\"2026-06-02T00:00:00Z\"", ListRole::Product, 7u, true},
        {" serial=\"8\" expires=\"2026-05-31T23:59:59Z\"", ListRole::Product, 7u, false},
        {" expires=\"2026-05-31T23:59:59Z\"", ListRole::Main, std::nullopt, false},
        // A package is judged by the package rules, after its signature.
        {" serial=\"1\" expires=\"2026-05-31T23:59:59Z\"", ListRole::Package, 7u, true},
    };
    for (const Case& c : cases) {
        const std::string list = List(c.root);
        EXPECT_EQ(Refusal(list, key_->Sign(list), c.role, c.installed).empty(), c.taken) << c.root;
    }
}

}  // namespace
}  // namespace mf
