#include <gtest/gtest.h>

#include "check/list_records.h"

namespace mf {
namespace {

TEST(ListRecords, PathFromUrl) {
    struct Case {
        const wchar_t* url;
        const wchar_t* path;
    };
    const Case cases[] = {
        {L"http://h/d/setup.exe", L"setup.exe"},
        {L"https://h/d/x.zip", L"x.zip"},
        {L"http://h/d/", L"d"},
        {L"http://h\\d\\y.dll", L"y.dll"},
        {L"x.dat", L"x.dat"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(PathFromUrl(c.url), c.path) << c.url;
}

TEST(ListRecords, FirstNonEmptyAttributeFormWins) {
    const AttributeLookup attribute = [](const wchar_t* name) -> std::wstring {
        const std::wstring n = name;
        if (n == L"path") return L"";
        if (n == L"Path") return L"second.dll";
        if (n == L"name") return L"last.dll";
        if (n == L"MD5") return L"ABC";
        return L"";
    };
    ListRecordBuilder builder;
    auto record = builder.FromElement(L"file", attribute, [] { return std::wstring(); });
    ASSERT_TRUE(record);
    EXPECT_EQ(record->path, L"second.dll");
    EXPECT_EQ(record->ver, L"ABC");  // normalised only when added to a list
}

TEST(ListRecords, FormatErrorText) {
    EXPECT_EQ(ListFormatErrorText(L"Bad!", true, L"http://h/l.xml", L"whatever"), L"Bad!\r\nhttp://h/l.xml");
    EXPECT_EQ(ListFormatErrorText(L"Bad!", false, L"http://h/l.xml", L"line 3"), L"Bad!\r\nline 3");
    EXPECT_EQ(ListFormatErrorText(L"Bad!", false, L"http://h/l.xml", L""), L"");
}

}  // namespace
}  // namespace mf
