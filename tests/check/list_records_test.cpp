#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    // In the reader's order, which is not the order in which forms are tried.
    const std::vector<AttributeView> attributes = {
        {L"name", L"last.dll"}, {L"MD5", L"ABC"}, {L"Path", L"second.dll"}, {L"path", L""}, {L"Path", L"third.dll"},
    };
    ListRecordBuilder builder;
    auto record = builder.FromElement(RecordElement::File, attributes, {});
    ASSERT_TRUE(record);
    EXPECT_EQ(record->path, L"second.dll");  // only the first attribute of a name counts
    EXPECT_EQ(record->ver, L"ABC");  // normalised only when added to a list
}

TEST(ListRecords, DuplicatePathsByLowerCaseAcrossManyEntries) {
    // Enough entries to make the set of seen paths grow several times.
    ListRecordBuilder builder;
    auto add = [&](const std::wstring& path) {
        const std::vector<AttributeView> attributes = {{L"path", path}, {L"ver", L"1"}};
        return builder.FromElement(RecordElement::File, attributes, {}) != nullptr;
    };
    for (int i = 0; i < 5000; ++i) EXPECT_TRUE(add(L"Dir\\File" + std::to_wstring(i) + L".DAT")) << i;
    for (int i = 0; i < 5000; i += 7) EXPECT_FALSE(add(L"dir\\file" + std::to_wstring(i) + L".dat")) << i;
    EXPECT_FALSE(add(L"DIR\\FILE4999.DAT"));
    EXPECT_TRUE(add(L"dir\\file5000.dat"));
    // Lower-cased as the system does it, also beyond ASCII; the key is the
    // path as written, before "|" becomes "\\".
    EXPECT_TRUE(add(L"\u00C4rger.txt"));
    EXPECT_FALSE(add(L"\u00E4RGER.TXT"));
    EXPECT_TRUE(add(L"a|b.txt"));
    EXPECT_TRUE(add(L"a\\b.txt"));
    EXPECT_TRUE(add(L""));  // an entry without any path counts once, too
    EXPECT_FALSE(add(L""));
}

TEST(ListRecords, CompactEntriesHoldTheNormalisedRecords) {
    ListEntries entries;
    RecordFields file;
    file.url = L"http://h/x";
    file.path = L" bin|tool.exe._.zip ";
    file.desname = L"x|y._.zip";  // targets are kept as written
    file.ver = L" ABC ";
    file.shortcut = L"s";
    file.shortcuticon = L"i";
    file.iconindex = L"2";
    file.oper = 5;
    file.md5key = true;
    file.zip = ZipHint::Absent;
    entries.Append(file);
    const std::size_t message = entries.AppendPlace();
    const std::size_t unfilled = entries.AppendPlace();
    RecordFields last;
    last.path = L"last";
    entries.Append(last);
    RecordFields text;
    text.path = text.desname = L"hello";
    text.ver = L"999";
    text.oper = OPER_DESCRIPTION;
    entries.Fill(message, text);
    EXPECT_EQ(unfilled, 2u);
    entries.Finish();  // a place never filled is dropped

    ASSERT_EQ(entries.size(), 3u);
    updatefileinfo expected;
    expected.url = L"http://h/x";
    expected.path = L"bin\\tool.exe";
    expected.desname = L"x|y._.zip";
    expected.ver = L"abc";
    expected.shortcut = L"s";
    expected.shortcuticon = L"i";
    expected.iconindex = L"2";
    expected.oper = 5;
    expected.md5key = true;
    expected.zip = ZipHint::Absent;
    EXPECT_EQ(entries.Record(0), expected);
    EXPECT_EQ(entries[0].path, L"bin\\tool.exe");
    EXPECT_EQ(entries[0].ver, L"abc");
    EXPECT_EQ(entries.Record(1).path, L"hello");
    EXPECT_EQ(entries.Record(1).oper, OPER_DESCRIPTION);
    EXPECT_EQ(entries[2].path, L"last");
    EXPECT_EQ(entries[2].index, 2u);
}

TEST(ListRecords, FormatErrorText) {
    EXPECT_EQ(ListFormatErrorText(L"Bad!", true, L"http://h/l.xml", L"whatever"), L"Bad!\r\nhttp://h/l.xml");
    EXPECT_EQ(ListFormatErrorText(L"Bad!", false, L"http://h/l.xml", L"line 3"), L"Bad!\r\nline 3");
    EXPECT_EQ(ListFormatErrorText(L"Bad!", false, L"http://h/l.xml", L""), L"");
}

}  // namespace
}  // namespace mf
