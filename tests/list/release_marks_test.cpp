// The marks of a signed release: serials, expiry times, the root's marks
// read from a list's bytes in every encoding a list comes in, and the rule
// that takes or refuses a list.
#include <gtest/gtest.h>

#include "base/strings.h"
#include "list/release_marks.h"

namespace mf {
namespace {

TEST(ReleaseMarks, Serials) {
    EXPECT_EQ(ParseSerial(L"0"), 0u);
    EXPECT_EQ(ParseSerial(L"20261211103000"), 20261211103000u);
    EXPECT_EQ(ParseSerial(L"999999999999999999"), 999999999999999999u);
    for (const wchar_t* bad : {L"", L"-1", L"+1", L" 1", L"1 ", L"1.0", L"0x10", L"1000000000000000000"})
        EXPECT_FALSE(ParseSerial(bad)) << Narrow(bad);
}

TEST(ReleaseMarks, TimesRoundTripAndImpossibleDatesAreRefused) {
    EXPECT_EQ(ParseUtcTime(L"1970-01-01T00:00:00Z"), 0);
    EXPECT_EQ(ParseUtcTime(L"2000-03-01T00:00:00Z"), 951868800);
    EXPECT_EQ(ParseUtcTime(L"2024-02-29T23:59:59Z"), 1709251199);
    for (const std::int64_t seconds : {0ll, 951868800ll, 1709251199ll, 4102444800ll})
        EXPECT_EQ(ParseUtcTime(UtcTimeText(seconds)), seconds) << Narrow(UtcTimeText(seconds));
    EXPECT_EQ(UtcTimeText(1709251199), L"2024-02-29T23:59:59Z");
    for (const wchar_t* bad :
         {L"", L"2023-02-29T00:00:00Z", L"2024-13-01T00:00:00Z", L"2024-01-01T24:00:00Z", L"2024-01-01 00:00:00Z",
          L"2024-01-01T00:00:00", L"2024-1-01T00:00:00Z", L"2024-01-01T00:00:00+01"})
        EXPECT_FALSE(ParseUtcTime(bad)) << Narrow(bad);
}

std::string Utf16(const std::string& ascii, bool bigEndian, bool bom) {
    std::string out = bom ? (bigEndian ? std::string("\xFE\xFF") : std::string("\xFF\xFE")) : std::string();
    for (const char c : ascii) out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return out;
}

TEST(ReleaseMarks, RootMarksInEveryEncoding) {
    const std::string list =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- release 7 -->\r\n<update hash=\"md5\" serial=\"7\"\r\n"
        "  expires='2030-01-01T00:00:00Z'>\r\n  <file path=\"a\" serial=\"99\"/>\r\n</update>\r\n";
    const std::string forms[] = {list,
                                 "\xEF\xBB\xBF" + list,
                                 Utf16(list, false, true),
                                 Utf16(list, false, false),
                                 Utf16(list, true, true),
                                 Utf16(list, true, false)};
    for (const std::string& form : forms) {
        const ReleaseMarks marks = ReadRootMarks(form);
        EXPECT_EQ(marks.serial, L"7");
        EXPECT_EQ(marks.expires, L"2030-01-01T00:00:00Z");
    }
    struct Case {
        const char* bytes;
        const wchar_t* serial;
    };
    const Case cases[] = {
        {"<update/>", L""},
        {"<update><file serial=\"3\"/></update>", L""},  // only the root's
        {"<update serial = \"4\" serial2=\"5\">", L"4"},
        {"<!DOCTYPE update><update serial=\"4\"/>", L""},  // nothing is read past a document type
        {"text<update serial=\"4\"/>", L""},
        {"<update serial=\"4", L""},
        {"<?xml version=\"1.0\"", L""},
        {"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadRootMarks(c.bytes).serial, c.serial) << c.bytes;
}

TEST(ReleaseMarks, VerdictsOnSerialAndExpiry) {
    const std::int64_t now = *ParseUtcTime(L"2026-06-01T12:00:00Z");
    struct Case {
        ReleaseMarks marks;
        std::optional<std::uint64_t> installed;
        ReleaseVerdict verdict;
    };
    const Case cases[] = {
        {{L"5", L""}, std::nullopt, ReleaseVerdict::Taken},
        {{L"5", L""}, 5u, ReleaseVerdict::Taken},  // the same release again (a repair)
        {{L"6", L""}, 5u, ReleaseVerdict::Taken},
        {{L"4", L""}, 5u, ReleaseVerdict::Older},
        {{L"", L""}, 5u, ReleaseVerdict::Older},  // no serial counts as 0
        {{L"", L""}, std::nullopt, ReleaseVerdict::Taken},
        {{L"6", L"2026-06-01T12:00:01Z"}, 5u, ReleaseVerdict::Taken},
        {{L"6", L"2026-06-01T12:00:00Z"}, 5u, ReleaseVerdict::Expired},
        {{L"6", L"2026-05-01T00:00:00Z"}, std::nullopt, ReleaseVerdict::Expired},
        {{L"4", L"2026-05-01T00:00:00Z"}, 5u, ReleaseVerdict::Expired},
        {{L"x", L""}, std::nullopt, ReleaseVerdict::BadSerial},
        {{L"6", L"tomorrow"}, std::nullopt, ReleaseVerdict::BadExpires},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeRelease(c.marks, c.installed, now), c.verdict)
            << Narrow(c.marks.serial) << " " << Narrow(c.marks.expires);
}

TEST(ReleaseMarks, VerdictsOnPackages) {
    struct Case {
        const wchar_t* serial;
        std::optional<std::uint64_t> installed;
        bool empty;
        ReleaseVerdict verdict;
    };
    const Case cases[] = {
        {L"", std::nullopt, true, ReleaseVerdict::Taken},
        {L"", std::nullopt, false, ReleaseVerdict::NoSerial},  // an installation updated before, without serials
        {L"", 5u, false, ReleaseVerdict::NoSerial},
        {L"4", 5u, false, ReleaseVerdict::Older},
        {L"5", 5u, false, ReleaseVerdict::Taken},  // what the installation lacks of its own release
        {L"6", 5u, false, ReleaseVerdict::Taken},
        {L"6", std::nullopt, false, ReleaseVerdict::Taken},
        {L"6x", std::nullopt, true, ReleaseVerdict::BadSerial},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgePackage({c.serial, L"2000-01-01T00:00:00Z"}, c.installed, c.empty), c.verdict)
            << Narrow(c.serial);
}

}  // namespace
}  // namespace mf
