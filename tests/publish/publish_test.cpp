// mirefold-publish run as a vendor runs it: a release folder made here, the
// list read back by the engine's own list reader, every variant extracted by
// the engine's zip reader, and the output folder untouched by every failure.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/files.h"
#include "base/handles.h"
#include "base/strings.h"
#include "base/xml_dom.h"
#include "check/update_list_reader.h"
#include "engine/process_state.h"
#include "list/run_command.h"
#include "publish/publish_support.h"
#include "support/engine_fixture.h"
#include "support/test_support.h"

namespace mf {
namespace {

using test::Quoted;
using test::Tree;

class Publishing : public test::EngineFixture {
protected:
    std::wstring Release(const wchar_t* name) const { return InFolder(name); }
    std::wstring Out(const wchar_t* name) const { return InFolder(name); }

    test::ToolRun Publish(const std::wstring& release, const std::wstring& out, const std::wstring& options = L"") {
        return test::RunPublish(Quoted(release) + L" " + Quoted(out) + L" --quiet " + options);
    }

    // The names next to the output folder, which must be only the folders
    // the test made: no staging or replaced folder stays behind.
    std::vector<std::wstring> FolderNames() const { return test::TopLevelNames(folder().path()); }

    ComInit com_;
};

std::wstring RootAttribute(const std::wstring& list, const wchar_t* name) {
    ComPtr<IXMLDOMDocument> document = xml::LoadFile(list);
    ComPtr<IXMLDOMElement> root;
    if (!document || FAILED(document->get_documentElement(root.GetAddressOf())) || !root) return L"(no root)";
    return xml::GetAttribute(root.Get(), name);
}

TEST_F(Publishing, TheEngineReadsWhatTheToolWrote) {
    const Tree release = test::SampleRelease();
    test::WriteTree(Release(L"r1"), release);
    ASSERT_TRUE(test::WriteFileBytes(Release(L"r1") + L"\\mirefold-publish.ini", test::kSampleManifest));

    const test::ToolRun run = Publish(Release(L"r1"), Out(L"www"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(L"published 7 files"), std::wstring::npos) << run.out;

    // Every file and its variant, nothing else: the manifest stays behind.
    const Tree out = test::ReadTree(Out(L"www"), false);
    EXPECT_EQ(out.size(), 2 * release.size() + 2);
    EXPECT_EQ(out.count(L"mirefold-publish.ini"), 0u);
    for (const auto& [path, bytes] : release) {
        ASSERT_EQ(out.count(path), 1u) << Narrow(path, CodePage::Utf8);
        EXPECT_TRUE(out.at(path) == bytes) << Narrow(path, CodePage::Utf8);
        const test::ZipContent zip = test::ReadZipWithEngine(Out(L"www") + L"\\" + path + L"._.zip");
        EXPECT_EQ(zip.entries, 1);
        EXPECT_EQ(zip.name, path.substr(path.find_last_of(L'\\') + 1));
        EXPECT_TRUE(zip.complete && zip.bytes == bytes) << Narrow(path, CodePage::Utf8);
    }
    const test::ZipContent listZip = test::ReadZipWithEngine(Out(L"www") + L"\\update.xml._.zip");
    EXPECT_EQ(listZip.name, L"update.xml");
    EXPECT_TRUE(listZip.complete && listZip.bytes == out.at(L"update.xml"));
    EXPECT_EQ(RootAttribute(Out(L"www") + L"\\update.xml", L"hash"), L"md5");

    DownLoadList list;
    ASSERT_TRUE(ReadUpdateList(Out(L"www") + L"\\update.xml", list, true));
    EXPECT_EQ(list.fileUrlTemplate, kDefaultFileUrlTemplate);
    std::map<std::wstring, updatefileinfo> byPath;
    for (const updatefileinfo& r : list.Records())
        if (IsFileRecord(r)) byPath[r.path] = r;
    EXPECT_EQ(byPath.size(), release.size() + 2);
    for (const auto& [path, bytes] : release) {
        ASSERT_EQ(byPath.count(path), 1u) << Narrow(path, CodePage::Utf8);
        EXPECT_EQ(byPath[path].ver, test::LegacyMd5(bytes)) << Narrow(path, CodePage::Utf8);
        EXPECT_TRUE(byPath[path].url.empty());
        // Every variant is published, and the list says so.
        EXPECT_EQ(byPath[path].zip, ZipHint::Present) << Narrow(path, CodePage::Utf8);
    }
    const updatefileinfo& app = byPath[L"bin\\app.exe"];
    EXPECT_EQ(app.oper, 0);
    EXPECT_EQ(app.shortcut, L"{desktop}\\题库.lnk");
    EXPECT_EQ(app.shortcuticon, L"bin\\app.exe");
    EXPECT_EQ(app.iconindex, L"0");
    const updatefileinfo& plugin = byPath[L"bin\\插件\\组件.dll"];  // the release's spelling, not the manifest's
    EXPECT_EQ(plugin.oper, OPER_REG | OPER_BOOT);
    EXPECT_EQ(plugin.desname, L"组件.dll;{app}\\plugins\\组件.dll");
    EXPECT_EQ(byPath[L"readme.txt"].oper, OPER_RUN);
    EXPECT_EQ(byPath[L"noise.bin"].oper, 0);
    for (const wchar_t* deleted : {L"old\\legacy.dll", L"{desktop}\\旧题库.lnk"}) {
        EXPECT_EQ(byPath[deleted].oper, OPER_DEL);
        EXPECT_EQ(byPath[deleted].ver, L"deleted");
    }

    // The message as users see it, and the commands in the order the
    // engine runs them: the manifest's.
    list.FinishCheckedList();
    EXPECT_EQ(list.messageText, L"欢迎使用新版本\r\nRestart after the update\r\n");
    EXPECT_EQ(list.commands,
              (std::vector<std::wstring>{JoinRunCommand({L"{app}\\bin\\app.exe", L"/setup 9", L"1", L"k1"}),
                                         JoinRunCommand({L"cmd.exe", L"/c del old.log", L"0", L""})}));
    EXPECT_EQ(FolderNames(), (std::vector<std::wstring>{L"r1\\", L"www\\"}));
}

TEST_F(Publishing, ZipIfSmallerLeavesOutVariantsThatDoNotShrink) {
    test::WriteTree(Release(L"r1"), test::SampleRelease());
    const test::ToolRun run = Publish(Release(L"r1"), Out(L"www"), L"--zip-if-smaller --list-name product.xml");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Tree out = test::ReadTree(Out(L"www"), false);
    EXPECT_EQ(out.count(L"noise.bin"), 1u);
    EXPECT_EQ(out.count(L"noise.bin._.zip"), 0u);
    EXPECT_EQ(out.count(L"data\\empty.dat._.zip"), 0u);
    EXPECT_EQ(out.count(test::kBigFile + L"._.zip"), 1u);
    EXPECT_LT(out.at(test::kBigFile + L"._.zip").size(), out.at(test::kBigFile).size() / 3);
    EXPECT_EQ(out.count(L"product.xml"), 1u);
    EXPECT_EQ(out.count(L"product.xml._.zip"), 1u);
    EXPECT_EQ(out.count(L"update.xml"), 0u);

    // The list names exactly the variants that are there.
    DownLoadList list;
    ASSERT_TRUE(ReadUpdateList(Out(L"www") + L"\\product.xml", list, true));
    int files = 0;
    for (const updatefileinfo& r : list.Records()) {
        if (!IsFileRecord(r) || r.oper == OPER_DEL) continue;
        ++files;
        EXPECT_EQ(r.zip, out.count(r.path + L"._.zip") == 1 ? ZipHint::Present : ZipHint::Absent)
            << Narrow(r.path, CodePage::Utf8);
    }
    EXPECT_EQ(files, static_cast<int>(test::SampleRelease().size()));
}

std::vector<std::wstring> ChangeLines(const test::ToolRun& run) {
    std::vector<std::wstring> lines;
    for (const std::wstring& line : test::Lines(run.out))
        if (StartsWith(line, L"changed ") || StartsWith(line, L"removed ")) lines.push_back(line);
    return lines;
}

TEST_F(Publishing, PreviousNamesExactlyTheChangedFilesAndReusesTheRest) {
    Tree release = test::SampleRelease();
    test::WriteTree(Release(L"r1"), release);
    ASSERT_EQ(Publish(Release(L"r1"), Out(L"v1")).exitCode, 0);

    // A reused variant is copied, not made again: mark the old one where
    // the tool does not look (the central directory's DOS time).
    const std::wstring oldZip = Out(L"v1") + L"\\docs\\说明.txt._.zip";
    std::string marked = test::ReadFileBytes(oldZip);
    const std::size_t central = marked.rfind(std::string("PK\x01\x02", 4));
    ASSERT_NE(central, std::string::npos);
    marked[central + 12] = static_cast<char>(marked[central + 12] ^ 0x01);
    ASSERT_TRUE(test::WriteFileBytes(oldZip, marked));

    release[L"readme.txt"] = "read me again\r\n";
    release[test::kBigFile][1000] = '#';
    test::WriteTree(Release(L"r2"), release);
    const test::ToolRun run = Publish(Release(L"r2"), Out(L"v2"), L"--previous " + Quoted(Out(L"v1")));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ChangeLines(run), (std::vector<std::wstring>{L"changed " + test::kBigFile, L"changed readme.txt"}));
    EXPECT_NE(run.out.find(L"2 changed, 0 removed"), std::wstring::npos) << run.out;
    EXPECT_TRUE(test::ReadFileBytes(Out(L"v2") + L"\\docs\\说明.txt._.zip") == marked);
    EXPECT_TRUE(test::ReadZipWithEngine(Out(L"v2") + L"\\readme.txt._.zip").bytes == release[L"readme.txt"]);
    EXPECT_TRUE(test::ReadZipWithEngine(Out(L"v2") + L"\\" + test::kBigFile + L"._.zip").bytes ==
                release[test::kBigFile]);

    // A new file, a removed one and a file renamed only in case (which the
    // engine takes for another path); published over the previous output.
    release.erase(L"noise.bin");
    release[L"new\\added.txt"] = "added";
    release[L"README.TXT"] = release[L"readme.txt"];
    release.erase(L"readme.txt");
    test::WriteTree(Release(L"r3"), release);
    const test::ToolRun again = Publish(Release(L"r3"), Out(L"v2"), L"--previous " + Quoted(Out(L"v2")));
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(ChangeLines(again), (std::vector<std::wstring>{L"changed new\\added.txt", L"changed README.TXT",
                                                             L"removed noise.bin", L"removed readme.txt"}));
    EXPECT_EQ(test::ReadTree(Out(L"v2"), false).count(L"noise.bin"), 0u);
    EXPECT_EQ(FolderNames(), (std::vector<std::wstring>{L"r1\\", L"r2\\", L"r3\\", L"v1\\", L"v2\\"}));
}

// A mistake in the manifest or the release fails the run with its message
// and leaves the published folder exactly as it was.
struct Mistake {
    const char* name;
    std::string manifest;
    Tree extraFiles;
    const wchar_t* message;
};

// Test names and failure reports show the case's name.
void PrintTo(const Mistake& mistake, std::ostream* os) {
    *os << mistake.name;
}

class PublishingMistakes : public Publishing, public ::testing::WithParamInterface<Mistake> {};

TEST_P(PublishingMistakes, FailWithTheirMessageAndTouchNothing) {
    test::WriteTree(Release(L"r1"), test::SampleRelease());
    ASSERT_EQ(Publish(Release(L"r1"), Out(L"www")).exitCode, 0);
    const Tree before = test::ReadTree(Out(L"www"));

    Tree release = test::SampleRelease();
    release[L"readme.txt"] = "changed";
    for (const auto& [path, bytes] : GetParam().extraFiles) release[path] = bytes;
    if (!GetParam().manifest.empty()) release[L"mirefold-publish.ini"] = GetParam().manifest;
    test::WriteTree(Release(L"r2"), release);

    const test::ToolRun run = Publish(Release(L"r2"), Out(L"www"), L"--previous " + Quoted(Out(L"www")));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(GetParam().message), std::wstring::npos) << Narrow(run.err, CodePage::Utf8);
    EXPECT_NE(run.err.find(L"is unchanged"), std::wstring::npos);
    EXPECT_TRUE(run.out.empty()) << Narrow(run.out, CodePage::Utf8);
    EXPECT_TRUE(test::ReadTree(Out(L"www")) == before);
    EXPECT_EQ(FolderNames(), (std::vector<std::wstring>{L"r1\\", L"r2\\", L"www\\"}));
}

INSTANTIATE_TEST_SUITE_P(
    Each, PublishingMistakes,
    ::testing::Values(
        Mistake{"UnknownKey",
                "[file:readme.txt]\r\nrun=yes\r\nshortcutt={desktop}\\x.lnk\r\n",
                {},
                L"mirefold-publish.ini:3: unknown key \"shortcutt\" in [file:readme.txt]"},
        Mistake{"MissingPath",
                "[message]\r\nhello\r\n[file:bin\\gone.exe]\r\nrun=yes\r\n",
                {},
                L"mirefold-publish.ini:3: [file:bin\\gone.exe] names a file that is not in the release"},
        Mistake{"DeletedButPublished",
                "[delete]\r\nREADME.txt\r\n",
                {},
                L"mirefold-publish.ini:2: README.txt is in the release; a file cannot be both published and deleted"},
        Mistake{"DeletedOutsideTheInstallation",
                "[delete]\r\n..\\..\\boot.ini\r\n",
                {},
                L"cannot delete ..\\..\\boot.ini: the path must stay inside the installation folder"},
        Mistake{"ZipSuffixInAName",
                "",
                {{L"data\\x._.zip", "x"}},
                L"cannot publish data\\x._.zip: its path holds \"._.zip\""},
        Mistake{"NameOfTheList",
                "",
                {{L"update.xml", "<update/>"}},
                L"cannot publish update.xml: it has the name of the list file"}),
    [](const ::testing::TestParamInfo<Mistake>& param) { return param.param.name; });

TEST_F(Publishing, AFileThatCannotBeReadFailsTheRunMidway) {
    test::WriteTree(Release(L"r1"), test::SampleRelease());
    ASSERT_EQ(Publish(Release(L"r1"), Out(L"www")).exitCode, 0);
    const Tree before = test::ReadTree(Out(L"www"));
    // Held open without sharing: the tool gets as far as this file (sorted
    // late) and must then undo everything.
    UniqueFile locked(
        ::CreateFileW((Release(L"r1") + L"\\readme.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locked);
    const test::ToolRun run = Publish(Release(L"r1"), Out(L"www"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(L"cannot open"), std::wstring::npos) << Narrow(run.err, CodePage::Utf8);
    EXPECT_TRUE(test::ReadTree(Out(L"www")) == before);
    EXPECT_EQ(FolderNames(), (std::vector<std::wstring>{L"r1\\", L"www\\"}));
}

TEST_F(Publishing, RefusesToReplaceAFolderHoldingOtherFiles) {
    test::WriteTree(Release(L"r1"), test::SampleRelease());
    test::WriteTree(Out(L"www"), Tree{{L"index.html", "the vendor's page"}});
    const test::ToolRun run = Publish(Release(L"r1"), Out(L"www"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(L"holds index.html, which no earlier publishing wrote there"), std::wstring::npos)
        << Narrow(run.err, CodePage::Utf8);
    EXPECT_TRUE(test::ReadTree(Out(L"www")) == (Tree{{L"index.html", "the vendor's page"}}));
}

TEST_F(Publishing, RefusesFoldersInsideEachOther) {
    test::WriteTree(Release(L"r1"), test::SampleRelease());
    for (const std::wstring& out : {Release(L"r1") + L"\\www", Release(L"r1"), folder().path()}) {
        const test::ToolRun run = Publish(Release(L"r1"), out);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(L"must not contain each other"), std::wstring::npos) << Narrow(run.err, CodePage::Utf8);
    }
    EXPECT_TRUE(test::ReadTree(Release(L"r1"), false) == test::SampleRelease());
    EXPECT_EQ(test::RunPublish(L"onlyone").exitCode, 2);
    EXPECT_EQ(test::RunPublish(Quoted(Release(L"r1")) + L" " + Quoted(Out(L"www")) + L" --bogus").exitCode, 2);
}

}  // namespace
}  // namespace mf
