#include <gtest/gtest.h>

#include <thread>

#include "base/named_lock.h"
#include "engine/elevation.h"
#include "engine/process_state.h"
#include "list/download_list.h"
#include "support/engine_fixture.h"
#include "support/test_support.h"

namespace mf {
namespace {

updatefileinfo Record(const std::wstring& path, std::int32_t oper = 0) {
    updatefileinfo r;
    r.path = path;
    r.desname = path;
    r.oper = oper;
    return r;
}

std::vector<std::wstring> PathsOf(const DownLoadList& list) {
    std::vector<std::wstring> paths;
    for (const updatefileinfo& r : list.Records()) paths.push_back(r.path);
    return paths;
}

using Strings = std::vector<std::wstring>;

TEST(DownLoadList, ArrayOperations) {
    DownLoadList list;
    EXPECT_EQ(list.Add(Record(L"a")), 0);
    EXPECT_EQ(list.Add(Record(L"b")), 1);
    list.SetAtGrow(3, Record(L"d"));
    EXPECT_EQ(PathsOf(list), (Strings{L"a", L"b", L"", L"d"}));
    list.SetAtGrow(1, Record(L"B"));
    list.RemoveAt(0);
    EXPECT_EQ(PathsOf(list), (Strings{L"B", L"", L"d"}));
    list.ElementAt(1).path = L"c";
    EXPECT_EQ(list.GetAt(1).path, L"c");
    list.SetSize(0);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.fileUrlTemplate, L"{listurl-base}/{filename}");
    EXPECT_EQ(list.Status(), UpdateStatus::None);
}

TEST(DownLoadList, FinishCheckedListSeparatesMessagesAndCommands) {
    DownLoadList list;
    list.Add(Record(L"A", OPER_DESCRIPTION));
    list.Add(Record(L"one.dll"));
    list.Add(Record(L"C1", OPER_COMMAND));
    list.Add(Record(L"B\\nsecond\\r\\nthird", OPER_DESCRIPTION));
    list.Add(Record(L"C2", OPER_COMMAND));
    list.Add(Record(L"two.dll", OPER_RUN));
    list.FinishCheckedList();
    EXPECT_EQ(PathsOf(list), (Strings{L"one.dll", L"two.dll"}));
    EXPECT_EQ(list.messageText, L"A\r\nB\r\nsecond\r\nthird\r\n");
    EXPECT_EQ(list.commands, (Strings{L"C2", L"C1"}));
}

std::string Le32(std::uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                       static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}

std::string Utf16(const std::wstring& text) {
    std::string out = Le32(static_cast<std::uint32_t>(text.size()));
    for (wchar_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

TEST(DownLoadList, EmptyListBytes) {
    DownLoadList list;
    list.fileUrlTemplate.clear();
    list.SetStatus(UpdateStatus::DownloadOk);
    ListArchive archive;
    ASSERT_TRUE(list.Serialize(archive));
    const std::string expected = Utf16(L"!-end------") + Le32(0) + Le32(0) + Le32(0) + Le32(0) + Le32(0) + Le32(0) +
                                 Le32(6) + Le32(0);
    EXPECT_EQ(archive.Bytes(), expected);
}

DownLoadList FullList() {
    DownLoadList list;
    list.values[L"key1"] = L"value1";
    list.values[L"\u9898"] = L"";
    list.commands = {L"x.exe9-s919k7", L"C2"};
    list.messageText = L"A\r\nB\r\n";
    list.baseUrl = L"http://h/d";
    list.fileUrlTemplate = L"{listurl-base}/{filename}";
    list.listPath = L"C:\\t\\x.xml";
    list.listIdentifier = L"{G}";
    list.SetStatus(UpdateStatus::CheckRemoteOk);
    updatefileinfo r;
    r.url = L"http://h/a";
    r.path = L"bin\\a.dll";
    r.desname = L"{app}\\a.dll";
    r.ver = L"abc";
    r.status = L"line\r\n";
    r.shortcut = L"{desktop}\\a";
    r.shortcuticon = L"a.ico";
    r.iconindex = L"3";
    r.oper = OPER_REG | OPER_BOOT;
    list.Add(r);
    list.Add(Record(L"\u9898\u5e93.txt"));
    return list;
}

void ExpectSameContent(const DownLoadList& a, const DownLoadList& b) {
    EXPECT_EQ(a.Records(), b.Records());
    EXPECT_EQ(a.values, b.values);
    EXPECT_EQ(a.commands, b.commands);
    EXPECT_EQ(a.messageText, b.messageText);
    EXPECT_EQ(a.baseUrl, b.baseUrl);
    EXPECT_EQ(a.fileUrlTemplate, b.fileUrlTemplate);
    EXPECT_EQ(a.listPath, b.listPath);
    EXPECT_EQ(a.listIdentifier, b.listIdentifier);
    EXPECT_EQ(a.Status(), b.Status());
}

TEST(DownLoadList, WriteThenReadThroughAFile) {
    test::TempFolder folder;
    DownLoadList written = FullList();
    ASSERT_TRUE(written.SaveToFile(folder / L"x.lst"));
    DownLoadList read;
    read.fileUrlTemplate.clear();
    ASSERT_TRUE(read.LoadFromFile(folder / L"x.lst"));
    ExpectSameContent(written, read);
}

TEST(DownLoadList, ReadingAppendsRecords) {
    ListArchive out;
    DownLoadList full = FullList();
    ASSERT_TRUE(full.Serialize(out));
    DownLoadList read;
    read.Add(Record(L"already.dll"));
    ListArchive in(out.Bytes());
    ASSERT_TRUE(read.Serialize(in));
    EXPECT_EQ(PathsOf(read), (Strings{L"already.dll", L"bin\\a.dll", L"\u9898\u5e93.txt"}));
}

TEST(DownLoadList, TruncatedStreamFailsAndKeepsWhatWasRead) {
    ListArchive out;
    DownLoadList full = FullList();
    ASSERT_TRUE(full.Serialize(out));
    const std::string bytes = out.Bytes();
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        DownLoadList read;
        ListArchive in(bytes.substr(0, cut));
        EXPECT_FALSE(read.Serialize(in)) << cut;
        EXPECT_LE(read.GetSize(), 1) << cut;
        for (int i = 0; i < read.GetSize(); ++i) EXPECT_EQ(read[i], full[i]) << cut;
    }
    // Cut inside the second record: the first one is kept, with everything
    // before it.
    DownLoadList read;
    ListArchive in(bytes.substr(0, bytes.size() - 6));
    EXPECT_FALSE(read.Serialize(in));
    ASSERT_EQ(read.GetSize(), 1);
    EXPECT_EQ(read[0], full[0]);
    EXPECT_EQ(read.commands, full.commands);
    EXPECT_EQ(read.listIdentifier, L"{G}");
    EXPECT_EQ(read.Status(), UpdateStatus::CheckRemoteOk);
}

// Records whose key is a content digest keep that across the saved list
// (the elevated relaunch), through an entry of the values map: the layout
// of the file stays as it was.
TEST(DownLoadList, DigestKeysSurviveTheSavedList) {
    DownLoadList written = FullList();
    written[0].md5key = true;
    updatefileinfo third = Record(L"c.dll");
    third.ver = L"900150983cd24fb0d6963f7d28e17f72";
    third.md5key = true;
    third.sha256 = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    written.Add(third);
    written[1].sha256 = L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
    ListArchive out;
    ASSERT_TRUE(written.Serialize(out));
    EXPECT_NE(out.Bytes().find(Utf16(kMd5KeysValue) + Utf16(L"0,2")), std::string::npos);
    EXPECT_NE(out.Bytes().find(Utf16(kSha256KeysValue) + Utf16(L"1=" + written[1].sha256 + L",2=" + third.sha256)),
              std::string::npos);

    DownLoadList read;
    read.fileUrlTemplate.clear();
    ListArchive in(out.Bytes());
    ASSERT_TRUE(read.Serialize(in));
    ExpectSameContent(written, read);  // flags included; the entry is not left in the map
    EXPECT_EQ(read.values.count(kMd5KeysValue), 0u);
    EXPECT_EQ(read.values.count(kSha256KeysValue), 0u);

    // Read behind records already there: the flags land on the read ones.
    DownLoadList appended;
    appended.Add(Record(L"already.dll"));
    ListArchive again(out.Bytes());
    ASSERT_TRUE(appended.Serialize(again));
    ASSERT_EQ(appended.GetSize(), 4);
    EXPECT_EQ((std::vector<bool>{appended[0].md5key, appended[1].md5key, appended[2].md5key, appended[3].md5key}),
              (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(appended[2].sha256, written[1].sha256);
    EXPECT_EQ(appended[3].sha256, third.sha256);
}

TEST(DownLoadList, ListsWithoutDigestKeysAreWrittenAsBefore) {
    // No entry at all, and a stale one in the map is not written either.
    DownLoadList list = FullList();
    ListArchive plain;
    ASSERT_TRUE(list.Serialize(plain));
    list.values[kMd5KeysValue] = L"0,1";
    ListArchive stale;
    ASSERT_TRUE(list.Serialize(stale));
    EXPECT_EQ(stale.Bytes(), plain.Bytes());
    EXPECT_EQ(plain.Bytes().find(Utf16(kMd5KeysValue)), std::string::npos);

    // A damaged entry flags only the records it names properly.
    DownLoadList damaged = FullList();
    damaged.values.clear();
    ListArchive out;
    ASSERT_TRUE(damaged.Serialize(out));
    std::string bytes = out.Bytes();
    bytes.insert(0, Utf16(kMd5KeysValue) + Utf16(L"x,-1,,99999999999,7,1"));
    DownLoadList read;
    ListArchive in(bytes);
    ASSERT_TRUE(read.Serialize(in));
    ASSERT_EQ(read.GetSize(), 2);
    EXPECT_FALSE(read[0].md5key);
    EXPECT_TRUE(read[1].md5key);
}

TEST(DownLoadList, ImpossibleLengthIsRejected) {
    DownLoadList read;
    ListArchive in(Le32(0x7FFFFFFF) + "xx");
    EXPECT_FALSE(read.Serialize(in));
    ListArchive negative(Utf16(L"!-end------") + Le32(0x80000000u));
    EXPECT_FALSE(read.Serialize(negative));
    EXPECT_TRUE(read.values.empty());
}

TEST(DownLoadList, MissingFileIsNotRead) {
    DownLoadList read;
    EXPECT_FALSE(read.LoadFromFile(L"C:\\no\\such\\list.lst"));
}

TEST(DownLoadList, AddListRecordWaitsForTheListLock) {
    DownLoadList list;
    std::thread adder;
    {
        ScopedNamedLock held(lock_id::kList);
        adder = std::thread([&] { list.AddListRecord(Record(L"a|b._.zip ")); });
        ::Sleep(300);
        EXPECT_EQ(list.GetSize(), 0);
    }
    adder.join();
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list[0].path, L"a\\b");
}

TEST(DownLoadList, ElevatedRunContinuesWithTheSavedList) {
    test::FreshEngine engine;
    ProcessState& state = engine.state();
    ASSERT_TRUE(engine.WriteIni(
        test::EngineIni().Set(L"Mirefold", L"TempAppPath", 1).Set(L"UPDATEINFO", L"ListURL", L"http://h/l.xml")));
    const std::wstring saved = state.paths.SavedListFile();
    ASSERT_EQ(saved.find(engine.folder().path()), 0u) << saved;
    DownLoadList full = FullList();
    ASSERT_TRUE(full.SaveToFile(saved));

    DownLoadList taken;
    ASSERT_TRUE(LoadSavedUpdateListForElevatedRun(HandOverDigest(test::ReadFileBytes(saved)), taken));
    EXPECT_EQ(taken.GetSize(), 2);
    EXPECT_EQ(taken.listIdentifier, L"{G}");
    EXPECT_EQ(::GetFileAttributesW(saved.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace mf
