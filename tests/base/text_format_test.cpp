#include <gtest/gtest.h>

#include "base/text_format.h"

namespace mf {
namespace {

TEST(TextFormat, FormatsTypedArguments) {
    EXPECT_EQ(Format(L"Found %d files need to update...", 3), L"Found 3 files need to update...");
    EXPECT_EQ(Format(L"Copying files[%d/%d]...", 2, 10), L"Copying files[2/10]...");
    EXPECT_EQ(Format(L"%s.__old%d", std::wstring(L"a.dll"), 7), L"a.dll.__old7");
    EXPECT_EQ(Format(L"[%04d-%02d-%02d]", 2026, 1, 9), L"[2026-01-09]");
    EXPECT_EQ(Format(L"%X-%x", 255u, 255), L"FF-ff");
    EXPECT_EQ(Format(L"%X", -1), L"FFFFFFFF");
    EXPECT_EQ(Format(L"%ld%%", 50L), L"50%");
    EXPECT_EQ(Format(L"%-4s|%4s|%.2s", L"ab", L"cd", L"xyz"), L"ab  |  cd|xy");
    EXPECT_EQ(Format(L"%c", L'Z'), L"Z");
    EXPECT_EQ(Format(L"%lld", 5000000000LL), L"5000000000");
}

TEST(TextFormat, IntegersKeepTheirOwnWidthWhateverTheLengthModifier) {
    // "l" is 32 bits on Windows: a 64-bit size given to "%ld" must still
    // show all of it, not "-1 bytes" or its low half.
    const std::int64_t big = 5000000000LL;
    const std::uint64_t huge = 0xFFFFFFFFFFFFFFFFULL;
    struct Case {
        const wchar_t* format;
        FormatArg arg;
        const wchar_t* expected;
    } cases[] = {
        {L"%ld bytes", big, L"5000000000 bytes"},
        {L"%ld", std::int64_t{-1}, L"-1"},
        {L"%ld", std::int64_t{4294967295LL}, L"4294967295"},
        {L"%lu", std::uint64_t{4294967296ULL}, L"4294967296"},
        {L"%d", big, L"5000000000"},
        {L"%lx", huge, L"ffffffffffffffff"},
        {L"%I64d", -3, L"-3"},
        {L"%lld", 7u, L"7"},
        // 32-bit arguments keep printf's 32-bit reading.
        {L"%u", -1, L"4294967295"},
        {L"%lu", -1L, L"4294967295"},
        {L"%d", 4294967295u, L"-1"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatArgs(c.format, {c.arg}), c.expected) << c.format;
}

TEST(TextFormat, WrongOrMissingArgumentsStayVisible) {
    // A string for %d, or no argument at all, must not read random memory.
    EXPECT_EQ(Format(L"a %d b", L"text"), L"a %d b");
    EXPECT_EQ(Format(L"a %s b %s", L"x"), L"a x b %s");
    EXPECT_EQ(Format(L"%s", 5), L"%s");
    EXPECT_EQ(Format(L"100%"), L"100%");
    EXPECT_EQ(Format(L"%*d", 3, 4), L"%*d");
}

TEST(TextFormat, PlaceholderSignatures) {
    struct Case { const wchar_t* english; const wchar_t* translated; bool same; };
    const Case cases[] = {
        {L"Found %d files", L"发现 %d 个文件", true},
        {L"%d/%d", L"%i/%-d", true},
        {L"%3d/%d", L"%-3i/%d", true},        // flags are free
        {L"%d", L"%5d", false},               // a width the English text does not have
        {L"%.2s", L"%.3s", false},            // another precision
        {L"%02d:%02d", L"%2d:%2d", true},     // "0" is a flag, the width is 2 both times
        {L"%s at %d", L"%d at %s", false},  // order changed
        {L"%s", L"%s %s", false},           // one more
        {L"%d", L"", false},
        {L"100%% done", L"完成 100%%", true},
        {L"%s", L"%S", true},
        {L"%d", L"%*d", false},
        {L"no placeholder", L"没有", true},
    };
    for (const Case& c : cases) EXPECT_EQ(SamePlaceholders(c.english, c.translated), c.same) << c.english;
}

TEST(TextFormat, HugeWidthsAndPrecisionsAreNoPlaceholders) {
    // Gigabytes of padding, or a numeric field far larger than any buffer:
    // the text is copied as it stands, whoever wrote it.
    EXPECT_EQ(Format(L"a%4000000000sb", L"x"), L"a%4000000000sb");
    EXPECT_EQ(Format(L"%2000000000d", 5), L"%2000000000d");
    EXPECT_EQ(Format(L"%.2000000000f", 1.5), L"%.2000000000f");
    EXPECT_EQ(Format(L"%1000d|", 1), L"%1000d|");
    EXPECT_EQ(Format(L"%256d", 1).size(), 256u);  // the largest width still formats
    EXPECT_EQ(PlaceholderSignature(L"%4000000000s"), L"?");
}

TEST(TextFormat, TranslationWithOtherPlaceholdersFallsBackToEnglish) {
    EXPECT_EQ(FormatTranslated(L"Found %d files", L"发现 %d 个文件", 4), L"发现 4 个文件");
    EXPECT_EQ(FormatTranslated(L"Found %d files", L"发现 %s 个文件", 4), L"Found 4 files");
    EXPECT_EQ(FormatTranslated(L"File %s", L"文件 %s %s %s %n", L"a"), L"File a");
}

}  // namespace
}  // namespace mf
