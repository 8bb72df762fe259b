// Zip variants and digests as the engine will read them.
#include <gtest/gtest.h>

#include "base/strings.h"
#include "md5.h"
#include "publish/publish_support.h"
#include "support/test_support.h"
#include "zip/unzip.h"
#include "zip_writer.h"

namespace mf::publish {
namespace {

TEST(Md5, KnownDigestsAndPieces) {
    EXPECT_EQ(Md5Of("", 0), L"d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Of("abc", 3), L"900150983cd24fb0d6963f7d28e17f72");
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    Md5 pieces;
    pieces.Update(fox.data(), 10);
    pieces.Update(fox.data() + 10, fox.size() - 10);
    EXPECT_EQ(pieces.Finish(), L"9e107d9d372bb6826bd81d3542a419d6");
    const std::string big = test::RandomBytes(3 << 20, 7);
    EXPECT_EQ(Md5Of(big.data(), big.size()), test::LegacyMd5(big));
}

// Each variant is extracted by the engine's reader to the same bytes (the
// reader checks size and CRC), under the file's name, with its time.
TEST(ZipVariant, EngineExtractsTheSameBytes) {
    struct Variant {
        const wchar_t* entryName;
        std::string bytes;
    };
    const Variant variants[] = {{L"empty.dat", ""},
                                {L"one.txt", "x"},
                                {L"题库说明.txt", test::CompressibleText(300000, 1)},
                                {L"noise.bin", test::RandomBytes(700000, 2)}};
    test::TempFolder folder;
    FILETIME modified{};
    SYSTEMTIME when{2024, 5, 0, 17, 9, 30, 42, 0};
    ::SystemTimeToFileTime(&when, &modified);
    for (const Variant& v : variants) {
        SCOPED_TRACE(Narrow(v.entryName, CodePage::Utf8));
        const std::wstring source = folder / v.entryName;
        ASSERT_TRUE(test::WriteFileBytes(source, v.bytes));
        ZipEntryFacts facts;
        std::wstring error;
        ASSERT_TRUE(WriteSingleEntryZip(source, source + L"._.zip", v.entryName, modified, facts, error)) << error;
        EXPECT_EQ(facts.size, v.bytes.size());

        const test::ZipContent content = test::ReadZipWithEngine(source + L"._.zip");
        ASSERT_TRUE(content.opened);
        EXPECT_EQ(content.entries, 1);
        EXPECT_EQ(content.name, v.entryName);
        EXPECT_TRUE(content.complete);
        EXPECT_TRUE(content.bytes == v.bytes);

        UniqueZip zip(OpenZip(source + L"._.zip"));
        ZipEntry entry;
        ASSERT_EQ(GetZipItem(zip.get(), 0, entry), ZipResult::Ok);
        EXPECT_EQ(entry.modificationTime.dwLowDateTime, modified.dwLowDateTime);
        EXPECT_EQ(entry.modificationTime.dwHighDateTime, modified.dwHighDateTime);
        EXPECT_EQ(entry.attributes & FILE_ATTRIBUTE_READONLY, 0u);

        ZipEntryFacts read;
        ASSERT_TRUE(ReadSingleEntryFacts(source + L"._.zip", read));
        EXPECT_EQ(read, facts);
    }
}

TEST(ZipVariantFacts, RefuseWhatThisToolDidNotWrite) {
    test::TempFolder folder;
    const std::wstring path = folder / L"x.zip";
    for (const std::string& bytes :
         {std::string(), std::string(100, 'x'), std::string("PK\x05\x06", 4) + std::string(18, '\0')}) {
        ASSERT_TRUE(test::WriteFileBytes(path, bytes));
        ZipEntryFacts facts;
        EXPECT_FALSE(ReadSingleEntryFacts(path, facts));
    }
    // A variant cut short.
    const std::wstring source = folder / L"s.txt";
    ASSERT_TRUE(test::WriteFileBytes(source, test::CompressibleText(5000, 3)));
    ZipEntryFacts facts;
    std::wstring error;
    ASSERT_TRUE(WriteSingleEntryZip(source, path, L"s.txt", FILETIME{}, facts, error)) << error;
    std::string bytes = test::ReadFileBytes(path);
    bytes.erase(40, 10);
    ASSERT_TRUE(test::WriteFileBytes(path, bytes));
    EXPECT_FALSE(ReadSingleEntryFacts(path, facts));
}

TEST(ZipVariantFacts, AMissingSourceLeavesNoArchive) {
    test::TempFolder folder;
    ZipEntryFacts facts;
    std::wstring error;
    EXPECT_FALSE(
        WriteSingleEntryZip(folder / L"none.txt", folder / L"none.txt._.zip", L"none.txt", FILETIME{}, facts, error));
    EXPECT_NE(error.find(L"cannot open"), std::wstring::npos) << error;
    EXPECT_EQ(::GetFileAttributesW((folder / L"none.txt._.zip").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace mf::publish
