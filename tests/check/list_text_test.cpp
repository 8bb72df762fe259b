// Parameter substitution, version replies, URL escaping, GUID text, check
// hours and download limits.
#include <gtest/gtest.h>

#include "check/check_hour.h"
#include "check/guid_text.h"
#include "check/list_parameters.h"
#include "check/version_reply.h"
#include "engine/download_limits.h"
#include "net/url_text.h"

namespace mf {
namespace {

TEST(ListParameters, SubstitutesEveryFormInOrder) {
    const ListParameters values{L"P1", L"P2", L"P"};
    struct Case {
        const wchar_t* url;
        const wchar_t* expected;
    } cases[] = {
        {L"http://h/[param1]/{param1}.xml", L"http://h/P1/P1.xml"},
        {L"http://h/[param2]-{param2}-[param]-{param}", L"http://h/P2-P2-P-P"},
        {L"http://h/[PARAM1]/{Param}", L"http://h/[PARAM1]/{Param}"},  // case-sensitive
        {L"http://h/[param1][param1]", L"http://h/P1P1"},
        {L"http://h/list.xml", L"http://h/list.xml"},
    };
    for (const Case& c : cases) EXPECT_EQ(SubstituteListParameters(c.url, values), c.expected) << c.url;
}

TEST(ListParameters, ValueHoldingAPlaceholderIsNotSubstitutedAgainAsAnEarlierForm) {
    // [param1] is replaced before {param2}; a value that introduces "{param2}"
    // is then replaced too, as the order prescribes.
    const ListParameters values{L"{param2}", L"X", L""};
    EXPECT_EQ(SubstituteListParameters(L"[param1]/[param]", values), L"X/");
}

TEST(VersionReply, ReadsVersionAndUrlsInEveryAcceptedCase) {
    struct Case {
        const wchar_t* reply;
        const wchar_t* version;
        std::vector<std::wstring> urls;
    } cases[] = {
        {L"<ver>2.1</ver><url>U1</url><url>U2</url>", L"2.1", {L"U1", L"U2"}},
        {L"<Ver>2.1</Ver><URL>U1</URL><Url>U2</Url>", L"2.1", {L"U1", L"U2"}},
        {L"<VER>3</VER>", L"3", {}},
        {L"<url>http://Host/Version/URL.xml</url>", L"", {L"http://Host/Version/URL.xml"}},
        {L"<ver>1.0", L"", {}},                       // never closed
        {L"<url>A</url><url>B", L"", {L"A"}},          // the last item is never closed
        {L"nothing here", L"", {}},
        {L"<vEr>1</vEr><uRl>x</uRl>", L"", {}},       // not an accepted spelling
        {L"<ver> 2.2 </ver><url> U </url>", L"2.2", {L"U"}},
    };
    for (const Case& c : cases) {
        const VersionReply reply = ParseVersionReply(c.reply);
        EXPECT_EQ(reply.version, c.version) << c.reply;
        EXPECT_EQ(reply.listUrls, c.urls) << c.reply;
    }
}

TEST(VersionReply, JoinsLinesWithoutSeparatorsAndTrims) {
    EXPECT_EQ(JoinReplyLines("  <ver>2.1\r\n</ver><url>http://a/\r\nb.xml</url>\n"),
              L"<ver>2.1</ver><url>http://a/b.xml</url>");
    EXPECT_EQ(JoinReplyLines(""), L"");
}

TEST(EncodeUrlText, EscapesReservedAndForeignCharacters) {
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"a b+c%", L"a%20b%2Bc%25"},
        {L"abc\\x.dll", L"abc%5Cx.dll"},
        {L"\"<>#{}|^~[]`", L"%22%3C%3E%23%7B%7D%7C%5E%7E%5B%5D%60"},
        {L"http://h/p?a=1&b=2;c,d@e$f!g*(h)'-_.", L"http://h/p?a=1&b=2;c,d@e$f!g*(h)'-_."},
        {L"\x00E9", L"%C3%A9"},            // two-byte UTF-8
        {L"\x4E2D", L"%E4%B8%AD"},         // three-byte UTF-8
        {L"\xD83D\xDE00", L"%F0%9F%98%80"},  // beyond the basic plane
        {L"a\tb", L"a%09b"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(EncodeUrlText(c.text), c.expected) << c.text;
}

TEST(GuidText, UpperCaseExceptTheThirdGroup) {
    const GUID guid{0x0A1B2C3D, 0xABCD, 0xEF01, {0xAB, 0xCD, 0x01, 0x02, 0x03, 0x04, 0xEF, 0xFF}};
    EXPECT_EQ(FormatGuidText(guid), L"0A1B2C3DABCDef01ABCD01020304EFFF");
    const std::wstring fresh = NewGuidText();
    EXPECT_EQ(fresh.size(), 32u);
    EXPECT_NE(fresh, NewGuidText());
}

TEST(CheckHour, CountsWholeHoursFromTheOrigin) {
    const std::time_t origin = CheckHourOrigin();
    ASSERT_NE(origin, static_cast<std::time_t>(-1));
    EXPECT_EQ(CheckHourAt(origin), 0);
    EXPECT_EQ(CheckHourAt(origin + 3599), 0);
    EXPECT_EQ(CheckHourAt(origin + 3600), 1);
    EXPECT_EQ(CheckHourAt(origin + 49 * 3600 + 5), 49);
    EXPECT_GT(CurrentCheckHour(), 24 * 365 * 40);  // more than 40 years later
    EXPECT_EQ(CheckHourText(375000), L"375000");
}

TEST(CheckHour, FarApartMeansMoreThan48HoursEitherWay) {
    EXPECT_FALSE(CheckHoursFarApart(100, 148));
    EXPECT_TRUE(CheckHoursFarApart(100, 149));
    EXPECT_TRUE(CheckHoursFarApart(149, 100));
    EXPECT_TRUE(CheckHoursFarApart(1000, 0));  // never refreshed
}

TEST(DownloadLimits, ClampedToTheirRanges) {
    struct Case {
        long value;
        int files;
        int connections;
    } cases[] = {{-5, 1, 1},   {0, 1, 1},    {1, 1, 1},      {2, 2, 2},
                 {50, 50, 50}, {51, 50, 51}, {100, 50, 100}, {1000, 50, 100}};
    for (const Case& c : cases) {
        EXPECT_EQ(ClampFileConcurrency(c.value), c.files) << c.value;
        EXPECT_EQ(ClampFileConnections(c.value), c.connections) << c.value;
    }
}

}  // namespace
}  // namespace mf
