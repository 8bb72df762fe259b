// Reading archives from memory: listing, buffer extraction, and archives
// that are damaged or cut short.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "zip/unzip.h"
#include "zip/zip_test_support.h"

namespace mf {
namespace {

using test::FixtureBytes;
using test::GuardedBlock;
using test::OpenArchive;
using test::Ticks;


int EntryCount(ZipHandle zip) {
    ZipEntry entry;
    return GetZipItem(zip, -1, entry) == ZipResult::Ok ? entry.index : -1;
}

// The whole entry through a buffer of its own size, or the failing code.
ZipResult ReadWhole(ZipHandle zip, int index, std::string& out) {
    ZipEntry entry;
    if (const ZipResult r = GetZipItem(zip, index, entry); r != ZipResult::Ok) return r;
    out.assign(std::min<std::size_t>(entry.uncompressedSize, 1 << 20), '\0');
    std::size_t produced = 0;
    const ZipResult r = UnzipItemToBuffer(zip, index, out.data(), out.size(), &produced);
    out.resize(produced);
    return r;
}

std::map<std::wstring, ZipEntry> ListByName(ZipHandle zip) {
    std::map<std::wstring, ZipEntry> entries;
    for (int i = 0; i < EntryCount(zip); ++i) {
        ZipEntry entry;
        EXPECT_EQ(GetZipItem(zip, i, entry), ZipResult::Ok);
        EXPECT_EQ(entry.index, i);
        entries[entry.name] = entry;
    }
    return entries;
}

TEST(ZipReader, ListsWhatPythonWrote) {
    const std::string bytes = FixtureBytes(L"python_mixed.zip");
    OpenArchive archive(OpenZip(bytes.data(), bytes.size()));
    ASSERT_NE(archive.zip, nullptr);
    EXPECT_EQ(LastZipResult(), ZipResult::Ok);
    EXPECT_EQ(EntryCount(archive.zip), 13);
    const auto entries = ListByName(archive.zip);

    constexpr DWORD R = FILE_ATTRIBUTE_READONLY, H = FILE_ATTRIBUTE_HIDDEN, S = FILE_ATTRIBUTE_SYSTEM,
                    D = FILE_ATTRIBUTE_DIRECTORY, A = FILE_ATTRIBUTE_ARCHIVE;
    const std::pair<const wchar_t*, DWORD> attributes[] = {
        {L"deflated.txt", A}, {L"dos_hidden.txt", H | A}, {L"dos_readonly_system.txt", R | S | A},
        {L"unix_rw.txt", A}, {L"unix_ro.txt", R | A},      {L"owner_only.txt", A},
        {L"folder/", D | A}, {L"\u540d\u524d/\u00fcn\u00efcode.txt", A},
    };
    for (const auto& [name, expected] : attributes) {
        const auto found = entries.find(name);
        ASSERT_NE(found, entries.end()) << name;
        EXPECT_EQ(found->second.attributes, expected) << name;
    }

    // No extended timestamp: the DOS time, as local time, for all three.
    const std::tuple<const wchar_t*, std::uint64_t> times[] = {
        {L"deflated.txt", test::LocalTicks(2021, 3, 4, 5, 6, 8)},
        {L"summer.txt", test::LocalTicks(2021, 7, 1, 12, 0, 0)},
        {L"winter.txt", test::LocalTicks(2021, 1, 15, 12, 0, 0)},
    };
    for (const auto& [name, ticks] : times) {
        const ZipEntry& entry = entries.at(name);
        EXPECT_EQ(Ticks(entry.modificationTime), ticks) << name;
        EXPECT_EQ(Ticks(entry.accessTime), ticks) << name;
        EXPECT_EQ(Ticks(entry.creationTime), ticks) << name;
    }
    EXPECT_EQ(entries.at(L"big.txt").uncompressedSize, 5000u);
    EXPECT_LT(entries.at(L"big.txt").compressedSize, 5000u);
    EXPECT_EQ(entries.at(L"stored.bin").compressedSize, 2000u);

    ZipEntry found;
    EXPECT_EQ(FindZipItem(archive.zip, L"BIG.TXT", true, found), ZipResult::Ok);
    EXPECT_EQ(found.name, L"big.txt");
    EXPECT_EQ(FindZipItem(archive.zip, L"BIG.TXT", false, found), ZipResult::BadArguments);
    EXPECT_EQ(found.index, -1);
}

TEST(ZipReader, BufferExtractionInPieces) {
    const std::string bytes = FixtureBytes(L"python_mixed.zip");
    const std::string big = test::SourceBytes(L"big.txt");
    ASSERT_EQ(big.size(), 5000u);
    OpenArchive archive(OpenZip(bytes.data(), bytes.size()));
    ASSERT_NE(archive.zip, nullptr);
    ZipEntry entry;
    ASSERT_EQ(FindZipItem(archive.zip, L"big.txt", false, entry), ZipResult::Ok);

    // Pieces of 1024 bytes: More four times, then the last 904 bytes with Ok.
    // The bytes after each piece must stay untouched.
    std::string joined;
    std::vector<ZipResult> codes;
    for (int call = 0; call < 10; ++call) {
        std::string buffer(1024 + 16, '#');
        std::size_t produced = 0;
        const ZipResult r = UnzipItemToBuffer(archive.zip, entry.index, buffer.data(), 1024, &produced);
        EXPECT_EQ(LastZipResult(), r);
        EXPECT_EQ(buffer.substr(1024), std::string(16, '#'));
        codes.push_back(r);
        joined += buffer.substr(0, produced);
        if (r != ZipResult::More) break;
        EXPECT_EQ(produced, 1024u);
    }
    const std::vector<ZipResult> expected = {ZipResult::More, ZipResult::More, ZipResult::More, ZipResult::More,
                                             ZipResult::Ok};
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(joined, big);

    // A buffer of exactly the entry's size completes it in one call.
    std::string exact(5000, '\0');
    EXPECT_EQ(UnzipItemToBuffer(archive.zip, entry.index, exact.data(), exact.size()), ZipResult::Ok);
    EXPECT_EQ(exact, big);

    // Asking for another entry in between starts that one, and coming back
    // starts this one afresh.
    std::string piece(1000, '\0');
    EXPECT_EQ(UnzipItemToBuffer(archive.zip, entry.index, piece.data(), piece.size()), ZipResult::More);
    std::string other;
    ZipEntry stored;
    ASSERT_EQ(FindZipItem(archive.zip, L"stored.bin", false, stored), ZipResult::Ok);
    EXPECT_EQ(ReadWhole(archive.zip, stored.index, other), ZipResult::Ok);
    EXPECT_EQ(other.size(), 2000u);
    EXPECT_EQ(UnzipItemToBuffer(archive.zip, entry.index, piece.data(), piece.size()), ZipResult::More);
    EXPECT_EQ(piece, big.substr(0, 1000));

    // An empty entry is complete at once, even without a buffer.
    ZipEntry empty;
    ASSERT_EQ(FindZipItem(archive.zip, L"empty.bin", false, empty), ZipResult::Ok);
    EXPECT_EQ(UnzipItemToBuffer(archive.zip, empty.index, nullptr, 0), ZipResult::Ok);
    // A zero-sized request on a longer entry only says that more follows.
    EXPECT_EQ(UnzipItemToBuffer(archive.zip, stored.index, nullptr, 0), ZipResult::More);
}

TEST(ZipReader, BadArgumentsAndStaleHandles) {
    const std::string bytes = FixtureBytes(L"python_mixed.zip");
    ZipHandle zip = OpenZip(bytes.data(), bytes.size());
    ASSERT_NE(zip, nullptr);
    ZipEntry entry;
    char buffer[16];
    const int count = EntryCount(zip);
    EXPECT_EQ(GetZipItem(zip, count, entry), ZipResult::BadArguments);
    EXPECT_EQ(LastZipResult(), ZipResult::BadArguments);
    EXPECT_EQ(GetZipItem(zip, -2, entry), ZipResult::BadArguments);
    EXPECT_EQ(UnzipItemToBuffer(zip, count, buffer, sizeof buffer), ZipResult::BadArguments);
    EXPECT_EQ(UnzipItemToBuffer(zip, 0, nullptr, 10), ZipResult::BadArguments);
    EXPECT_EQ(UnzipItemToFile(zip, -1, L"x"), ZipResult::BadArguments);
    EXPECT_EQ(GetZipItem(zip, 0, entry), ZipResult::Ok);
    EXPECT_EQ(LastZipResult(), ZipResult::Ok);
    EXPECT_EQ(CloseZip(zip), ZipResult::Ok);

    // The closed handle is recognised, not followed.
    EXPECT_EQ(GetZipItem(zip, 0, entry), ZipResult::NotUnzipHandle);
    EXPECT_EQ(UnzipItemToBuffer(zip, 0, buffer, sizeof buffer), ZipResult::NotUnzipHandle);
    EXPECT_EQ(CloseZip(zip), ZipResult::NotUnzipHandle);
    EXPECT_EQ(LastZipResult(), ZipResult::NotUnzipHandle);
    EXPECT_EQ(CloseZip(nullptr), ZipResult::BadArguments);
    EXPECT_EQ(GetZipItem(nullptr, -1, entry), ZipResult::BadArguments);
    EXPECT_EQ(UnzipItemToFile(nullptr, 0, L"x"), ZipResult::BadArguments);

    EXPECT_EQ(OpenZip(nullptr, 10), nullptr);
    EXPECT_EQ(LastZipResult(), ZipResult::BadArguments);
    EXPECT_EQ(OpenZip("", 0), nullptr);
    EXPECT_EQ(LastZipResult(), ZipResult::CannotOpen);
    const std::string text = test::SourceBytes(L"hello.txt");
    EXPECT_EQ(OpenZip(text.data(), text.size()), nullptr);
    EXPECT_EQ(LastZipResult(), ZipResult::CannotOpen);
}

TEST(ZipReader, DamagedDataIsNeverReportedGood) {
    for (const wchar_t* name : {L"corrupt_stored.zip", L"crc_mismatch.zip"}) {
        const std::string bytes = FixtureBytes(name);
        OpenArchive archive(OpenZip(bytes.data(), bytes.size()));
        ASSERT_NE(archive.zip, nullptr) << name;
        std::string whole;
        EXPECT_EQ(ReadWhole(archive.zip, 0, whole), ZipResult::DataError) << name;
        // In small pieces the last call carries the verdict.
        ZipResult r = ZipResult::More;
        char piece[100];
        while (r == ZipResult::More) r = UnzipItemToBuffer(archive.zip, 0, piece, sizeof piece);
        EXPECT_EQ(r, ZipResult::DataError) << name;
        EXPECT_EQ(LastZipResult(), ZipResult::DataError);
    }
}

// Every single damaged byte and every cut: the reader stays inside the
// block (the guard page faults otherwise), and whatever it calls complete
// is exactly what the intact archive holds.
TEST(ZipReader, SweepOfDamagedAndCutArchives) {
    const std::string original = FixtureBytes(L"python_mixed.zip");
    ASSERT_FALSE(original.empty());
    std::vector<std::string> contents;
    {
        OpenArchive archive(OpenZip(original.data(), original.size()));
        ASSERT_NE(archive.zip, nullptr);
        for (int i = 0; i < EntryCount(archive.zip); ++i) {
            std::string data;
            ASSERT_EQ(ReadWhole(archive.zip, i, data), ZipResult::Ok) << i;
            contents.push_back(data);
        }
    }
    for (std::size_t length = 0; length < original.size(); ++length) {
        GuardedBlock block(original.substr(0, length));
        EXPECT_EQ(OpenZip(block.data(), block.size()), nullptr) << length;
        EXPECT_EQ(LastZipResult(), ZipResult::CannotOpen) << length;
    }
    int damagedEntries = 0;
    for (std::size_t at = 0; at < original.size(); ++at) {
        for (const unsigned char flip : {0x01, 0x80}) {
            std::string bytes = original;
            bytes[at] = static_cast<char>(bytes[at] ^ flip);
            GuardedBlock block(bytes);
            OpenArchive archive(OpenZip(block.data(), block.size()));
            if (archive.zip == nullptr) continue;
            const int count = EntryCount(archive.zip);
            for (int i = 0; i < count && i < static_cast<int>(contents.size()); ++i) {
                std::string data;
                if (ReadWhole(archive.zip, i, data) == ZipResult::Ok) {
                    ASSERT_EQ(data, contents[static_cast<std::size_t>(i)]) << "byte " << at << " entry " << i;
                } else {
                    ++damagedEntries;
                }
            }
        }
    }
    EXPECT_GT(damagedEntries, 0);
}

}  // namespace
}  // namespace mf
