#include <gtest/gtest.h>

#include "base/strings.h"

namespace mf {
namespace {

TEST(Strings, WidenNarrowRoundTripUtf8) {
    const std::wstring text = L"Mirefold \u9898\u5e93 \u00e9\u00e8 \U0001F600";
    EXPECT_EQ(Widen(Narrow(text, CodePage::Utf8), CodePage::Utf8), text);
    EXPECT_EQ(Narrow(L"abc", CodePage::Utf8), "abc");
    EXPECT_EQ(Narrow(L"\u00e9", CodePage::Utf8), "\xc3\xa9");
    EXPECT_EQ(Widen("", CodePage::Utf8), L"");
}

TEST(Strings, WidenNarrowAnsiKeepsAscii) {
    EXPECT_EQ(Widen(Narrow(L"C:\\Tarnwick\\vdzq\\x.ini")), L"C:\\Tarnwick\\vdzq\\x.ini");
}

TEST(Strings, YesNoRule) {
    struct Case { const wchar_t* text; bool yes; };
    const Case cases[] = {
        {L"1", true}, {L"true", true}, {L"TRUE", true}, {L" Yes ", true}, {L"y", true}, {L"to", true},
        {L"0", false}, {L"false", false}, {L"no", false}, {L"off", false}, {L"", false}, {L"2", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsYes(c.text), c.yes) << c.text;
}

TEST(Strings, ReduceBackslashesIsOnePass) {
    EXPECT_EQ(ReduceBackslashes(L"C:\\\\a\\\\b"), L"C:\\a\\b");
    EXPECT_EQ(ReduceBackslashes(L"a\\\\\\\\b"), L"a\\\\b");
}

TEST(Strings, SuffixTestWithSentinel) {
    EXPECT_TRUE(EndsWithNoCase(L"Setup.EXE", L".exe"));
    EXPECT_FALSE(EndsWithNoCase(L"setup.exe.txt", L".exe"));
}

TEST(Strings, ParseLongTakesLeadingDigits) {
    EXPECT_EQ(ParseLong(L"150abc"), 150);
    EXPECT_EQ(ParseLong(L"abc"), 0);
    EXPECT_EQ(ParseLong(L"  -7"), -7);
    EXPECT_EQ(ParseLong(L"99999999999999"), 2147483647L);
}

}  // namespace
}  // namespace mf
