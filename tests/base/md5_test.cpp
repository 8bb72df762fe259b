// MD5 of files through the Windows crypto API, against digests computed
// elsewhere (Python's hashlib), and the key comparison.
#include <gtest/gtest.h>

#include "base/md5.h"
#include "base/strings.h"
#include "support/test_support.h"

namespace mf {
namespace {

TEST(Md5, DigestsOfFiles) {
    test::TempFolder folder;
    std::string pattern(600000, '\0');  // more than one read block
    for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>(i % 251);
    struct Case {
        const wchar_t* name;
        std::string bytes;
        const wchar_t* digest;
    };
    const Case cases[] = {
        {L"empty", "", L"d41d8cd98f00b204e9800998ecf8427e"},
        {L"abc", "abc", L"900150983cd24fb0d6963f7d28e17f72"},
        {L"fox", "The quick brown fox jumps over the lazy dog", L"9e107d9d372bb6826bd81d3542a419d6"},
        {L"pattern", pattern, L"386e1f539b63d1f381677b9820b7124f"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(test::WriteFileBytes(folder / c.name, c.bytes));
        std::wstring digest = L"untouched";
        ASSERT_TRUE(Md5OfFile(folder / c.name, &digest)) << Narrow(c.name);
        EXPECT_EQ(digest, c.digest) << Narrow(c.name);
    }
}

TEST(Md5, MissingFileLeavesTheResultAlone) {
    test::TempFolder folder;
    std::wstring digest = L"untouched";
    EXPECT_FALSE(Md5OfFile(folder / L"none", &digest));
    EXPECT_FALSE(Md5OfFile(folder.path(), &digest));  // a folder is no file
    EXPECT_EQ(digest, L"untouched");
}

TEST(Md5, KeysCompareWithoutCase) {
    const std::wstring digest = L"900150983cd24fb0d6963f7d28e17f72";
    EXPECT_TRUE(Md5Matches(digest, L"900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_TRUE(Md5Matches(digest, L"900150983CD24FB0D6963F7D28E17F72"));
    EXPECT_FALSE(Md5Matches(digest, L"900150983cd24fb0d6963f7d28e17f7"));
    EXPECT_FALSE(Md5Matches(digest, L"d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_FALSE(Md5Matches(digest, L""));
    EXPECT_FALSE(Md5Matches(L"", L""));
}

}  // namespace
}  // namespace mf
