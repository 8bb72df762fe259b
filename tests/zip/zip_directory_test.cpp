// The meaning of stored fields: safe names, attributes by host, times.
#include <gtest/gtest.h>

#include "zip/zip_directory.h"
#include "zip/zip_test_support.h"

namespace mf {
namespace {

using test::Ticks;
using test::UnixTicks;

TEST(ZipNames, EveryWayOfClimbingIsRemoved) {
    struct Case { const wchar_t* stored; const wchar_t* safe; };
    const Case cases[] = {
        {L"plain.txt", L"plain.txt"},
        {L"dir/sub/file.txt", L"dir/sub/file.txt"},
        {L"C:\\Windows\\x.dll", L"Windows\\x.dll"},
        {L"c:x.txt", L"x.txt"},
        {L"/etc/passwd", L"etc/passwd"},
        {L"\\\\server\\share\\x", L"server\\share\\x"},
        {L"//server/share/x", L"server/share/x"},
        {L"/C:/x", L"x"},
        {L"a/../b.txt", L"b.txt"},
        {L"a\\..\\b.txt", L"b.txt"},
        {L"a/..\\b.txt", L"b.txt"},
        {L"a\\../b.txt", L"b.txt"},
        {L"a/b/../../../../c.txt", L"c.txt"},
        {L"../x.txt", L"x.txt"},
        {L"..\\..\\x.txt", L"x.txt"},
        {L"D:\\..\\x.txt", L"x.txt"},
        {L"..", L""},
        {L"a/..", L"a/.."},  // stays inside: it names the folder itself
        {L"..name/x", L"..name/x"},
        {L"name../x", L"name../x"},
        {L"\x01\x02\x03\x04\x05", L"\x01\x02\x03\x04\x05"},
    };
    for (const Case& c : cases) EXPECT_EQ(SafeEntryName(c.stored), c.safe) << c.stored;
    EXPECT_EQ(SafeEntryName(std::wstring(L"..\0/../x", 7)), L"");
    EXPECT_EQ(SafeEntryName(std::wstring(L"ok.txt\0/../../x", 14)), L"ok.txt");
}

CentralEntry Made(unsigned host, std::uint32_t external, const char* name = "f") {
    CentralEntry entry;
    entry.versionMadeBy = static_cast<std::uint16_t>((host << 8) | 30);
    entry.externalAttributes = external;
    entry.storedName = name;
    return entry;
}

TEST(ZipAttributes, FollowTheHostThatMadeTheEntry) {
    constexpr DWORD R = FILE_ATTRIBUTE_READONLY, H = FILE_ATTRIBUTE_HIDDEN, S = FILE_ATTRIBUTE_SYSTEM,
                    D = FILE_ATTRIBUTE_DIRECTORY, A = FILE_ATTRIBUTE_ARCHIVE;
    struct Case { unsigned host; std::uint32_t external; const char* name; DWORD expected; };
    const Case cases[] = {
        {0, 0x21, "f", R | A},              // MS-DOS: the low byte as it is
        {0, 0x26, "f", H | S | A},
        {0, 0x10, "d/", D},
        {0, 0xC0 | 0x01, "f", R},           // bits beyond the five are dropped
        {7, 0x02, "f", H},                  // Macintosh, NTFS, VFAT: MS-DOS too
        {11, 0x04, "f", S},
        {14, 0x20, "f", A},
        {3, 0100644u << 16, "f", A},        // Unix, owner may write
        {3, 0100444u << 16, "f", A | R},    // Unix, owner may not write
        {3, (040755u << 16) | 0x10, "d/", A | D},
        {3, 040555u << 16, "d", A | D | R},
        {19, 0100600u << 16, "f", A},       // OS X counts as Unix
        {3, 0, "f", 0},                     // no Unix mode recorded: nothing to say
        {3, 0x01, "f", R},
        {3, 0, "folder/", D},               // a trailing separator marks a folder
    };
    for (const Case& c : cases)
        EXPECT_EQ(EntryAttributes(Made(c.host, c.external, c.name)), c.expected)
            << "host " << c.host << " external " << std::hex << c.external;
}

std::uint16_t DosDate(int year, int month, int day) {
    return static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}
std::uint16_t DosTime(int hour, int minute, int second) {
    return static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

TEST(ZipTimes, DosTimeIsLocalTime) {
    struct Case { int y, mo, d, h, mi, s; };
    const Case cases[] = {{1980, 1, 1, 0, 0, 0}, {2021, 1, 15, 12, 0, 0}, {2021, 7, 1, 12, 0, 0},
                          {2024, 2, 29, 23, 59, 58}, {2107, 12, 31, 23, 59, 58}};
    for (const Case& c : cases) {
        EXPECT_EQ(Ticks(DosTimeToUtc(DosDate(c.y, c.mo, c.d), DosTime(c.h, c.mi, c.s))),
                  test::LocalTicks(c.y, c.mo, c.d, c.h, c.mi, c.s))
            << c.y << "-" << c.mo << "-" << c.d;
    }
    // Month 0, day 0 and hour 31 are no dates: no time rather than a wrong one.
    EXPECT_EQ(Ticks(DosTimeToUtc(DosDate(2020, 0, 1), 0)), 0u);
    EXPECT_EQ(Ticks(DosTimeToUtc(DosDate(2020, 1, 0), 0)), 0u);
    EXPECT_EQ(Ticks(DosTimeToUtc(DosDate(2020, 1, 1), DosTime(31, 0, 0))), 0u);
}

std::string Block(std::uint16_t tag, const std::string& data) {
    std::string block;
    block += static_cast<char>(tag & 0xFF);
    block += static_cast<char>(tag >> 8);
    block += static_cast<char>(data.size() & 0xFF);
    block += static_cast<char>(data.size() >> 8);
    return block + data;
}

std::string Le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

TEST(ZipTimes, ExtendedTimestampReplacesThePresentTimes) {
    const FILETIME dos = DosTimeToUtc(DosDate(2000, 1, 1), 0);
    struct Case {
        const char* what;
        std::string extra;
        std::uint64_t modified, accessed, created;
    };
    const std::uint64_t d = Ticks(dos);
    const Case cases[] = {
        {"all three", Block(0x5455, "\x07" + Le32(1000) + Le32(2000) + Le32(3000)), UnixTicks(1000),
         UnixTicks(2000), UnixTicks(3000)},
        {"modification only", Block(0x5455, "\x01" + Le32(1000)), UnixTicks(1000), d, d},
        {"access and creation", Block(0x5455, "\x06" + Le32(2000) + Le32(3000)), d, UnixTicks(2000),
         UnixTicks(3000)},
        {"after another block", Block(0x000A, std::string(32, 'x')) + Block(0x5455, "\x03" + Le32(1000) + Le32(2000)),
         UnixTicks(1000), UnixTicks(2000), d},
        {"flags promise more than the block holds", Block(0x5455, "\x07" + Le32(1000)), UnixTicks(1000), d, d},
        {"block longer than the field", Block(0x5455, "\x01" + Le32(1000)).substr(0, 7), d, d, d},
        {"empty block", Block(0x5455, ""), d, d, d},
        {"no block", "", d, d, d},
        {"before 1970", Block(0x5455, "\x01" + Le32(static_cast<std::uint32_t>(-86400))), UnixTicks(-86400), d, d},
    };
    for (const Case& c : cases) {
        ZipEntry entry;
        entry.modificationTime = entry.accessTime = entry.creationTime = dos;
        ApplyExtendedTimestamp(c.extra, entry);
        EXPECT_EQ(Ticks(entry.modificationTime), c.modified) << c.what;
        EXPECT_EQ(Ticks(entry.accessTime), c.accessed) << c.what;
        EXPECT_EQ(Ticks(entry.creationTime), c.created) << c.what;
    }
}

}  // namespace
}  // namespace mf
