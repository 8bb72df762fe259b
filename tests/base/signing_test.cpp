// Release signatures through CNG: keys made, written as text and read back,
// signatures that hold and every kind that must not, and SHA-256 against
// digests computed elsewhere (Python's hashlib).
#include <gtest/gtest.h>

#include "base/handles.h"
#include "base/signing.h"
#include "base/strings.h"
#include "support/test_support.h"

namespace mf {
namespace {

TEST(Sha256, DigestsOfBytesAndFiles) {
    test::TempFolder folder;
    std::string pattern(600000, '\0');  // more than one read block
    for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>(i % 251);
    struct Case {
        const wchar_t* name;
        std::string bytes;
        const wchar_t* digest;
    };
    const Case cases[] = {
        {L"empty", "", L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {L"abc", "abc", L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {L"pattern", pattern, L"3eec6f2df36b88a1a97c03224253e9d0c59f2696ff7b145203a5d43c736bc7e0"},
    };
    for (const Case& c : cases) {
        const auto bytes = Sha256OfBytes(c.bytes);
        ASSERT_TRUE(bytes) << Narrow(c.name);
        EXPECT_EQ(HexText(*bytes), c.digest) << Narrow(c.name);
        ASSERT_TRUE(test::WriteFileBytes(folder / c.name, c.bytes));
        UniqueFile file(::CreateFileW((folder / c.name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      0, nullptr));
        ASSERT_TRUE(file);
        char first = 0;
        DWORD read = 0;
        (void)::ReadFile(file.get(), &first, 1, &read, nullptr);  // the digest still covers the whole file
        const auto ofFile = Sha256OfFile(file.get());
        ASSERT_TRUE(ofFile) << Narrow(c.name);
        EXPECT_EQ(HexText(*ofFile), c.digest) << Narrow(c.name);
    }
}

TEST(Sha256, KeysCompareWithoutCase) {
    const auto digest = Sha256OfBytes("abc");
    ASSERT_TRUE(digest);
    const std::wstring text = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    EXPECT_TRUE(Sha256Matches(*digest, text));
    EXPECT_TRUE(Sha256Matches(*digest, ToUpper(text)));
    EXPECT_FALSE(Sha256Matches(*digest, text.substr(1)));
    EXPECT_FALSE(Sha256Matches(*digest, text + L"0"));
    EXPECT_FALSE(Sha256Matches(*digest, L""));
}

TEST(Signing, KeysSurviveTheirTextForm) {
    const auto key = SigningKey::Generate();
    ASSERT_TRUE(key);
    const std::wstring publicText = key->PublicText();
    const std::wstring privateText = key->PrivateText();
    EXPECT_EQ(publicText.size(), std::wstring(kPublicKeyPrefix).size() + 128);
    EXPECT_EQ(privateText.size(), std::wstring(kPrivateKeyPrefix).size() + 192);
    EXPECT_TRUE(StartsWith(publicText, kPublicKeyPrefix));

    const auto reread = SigningKey::FromText(L"  " + privateText + L"\r\n");
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->PublicText(), publicText);
    const auto verifier = VerifyingKey::FromText(publicText + L"\n");
    ASSERT_TRUE(verifier);
    const std::string list = "<update serial=\"7\"/>";
    EXPECT_TRUE(verifier->Verifies(list, reread->Sign(list)));
}

TEST(Signing, OnlyTheKeysOwnSignatureOfTheExactBytesHolds) {
    const auto key = SigningKey::Generate();
    const auto other = SigningKey::Generate();
    ASSERT_TRUE(key && other);
    const auto verifier = VerifyingKey::FromText(key->PublicText());
    ASSERT_TRUE(verifier);
    const std::string list = "<?xml version=\"1.0\"?>\r\n<update hash=\"md5\" serial=\"3\"><file path=\"a\"/></update>";
    const std::string signature = key->Sign(list);
    ASSERT_EQ(signature.size(), kSignatureBytes);
    ASSERT_TRUE(verifier->Verifies(list, signature));

    std::string changedList = list;
    changedList[changedList.size() / 2] ^= 1;
    std::string changedSignature = signature;
    changedSignature[10] ^= 0x40;
    struct Case {
        const char* what;
        std::string bytes;
        std::string signature;
    };
    const Case cases[] = {
        {"a changed byte of the list", changedList, signature},
        {"a byte more in the list", list + "\n", signature},
        {"a changed byte of the signature", list, changedSignature},
        {"another key's signature", list, other->Sign(list)},
        {"a truncated signature", list, signature.substr(0, 63)},
        {"a signature with a byte more", list, signature + "x"},
        {"no signature", list, ""},
    };
    for (const Case& c : cases) EXPECT_FALSE(verifier->Verifies(c.bytes, c.signature)) << c.what;
}

TEST(Signing, MalformedKeyTextIsRefused) {
    const auto key = SigningKey::Generate();
    ASSERT_TRUE(key);
    const std::wstring good = key->PublicText();
    std::wstring offCurve = good;
    offCurve.back() = offCurve.back() == L'0' ? L'1' : L'0';  // a point not on the curve
    const std::wstring cases[] = {
        L"",
        good.substr(0, good.size() - 2),
        good + L"00",
        L"ecdsa-p384:" + good.substr(std::wstring(kPublicKeyPrefix).size()),
        Replaced(good, L":", L": "),
        good.substr(0, good.size() - 1) + L"g",
        key->PrivateText(),
    };
    for (const std::wstring& text : cases) EXPECT_FALSE(VerifyingKey::FromText(text)) << Narrow(text);
    // Wine's CNG imports a point off the curve; such a key verifies nothing.
    if (const auto broken = VerifyingKey::FromText(offCurve)) {
        EXPECT_FALSE(broken->Verifies("x", key->Sign("x")));
    }
    EXPECT_FALSE(SigningKey::FromText(good));
    EXPECT_FALSE(SigningKey::FromText(L"ecdsa-p256-private:00"));
}

}  // namespace
}  // namespace mf
