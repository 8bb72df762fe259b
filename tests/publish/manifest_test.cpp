// The release manifest: what it says, and the mistakes it refuses with the
// line that holds them.
#include <gtest/gtest.h>

#include "base/strings.h"
#include "list_writer.h"
#include "manifest.h"
#include "release_tree.h"
#include "support/test_support.h"

namespace mf::publish {
namespace {

TEST(Manifest, ReadsEverySection) {
    const std::wstring text =
        L"; comment\r\n"
        L"[list]\r\n"
        L"fileurl = http://cdn.example/{filename}\r\n"
        L"[message]\r\n"
        L"新版本已经发布\r\n"
        L"Second line\r\n"
        L"[FILE:bin/app.exe]\r\n"
        L"Shortcut={desktop}\\题库.lnk\r\n"
        L"shortcuticon=bin\\app.exe\r\n"
        L"iconindex=-2\r\n"
        L"run=yes\r\n"
        L"register=no\r\n"
        L"restart=TRUE\r\n"
        L"desname=a.exe;{app}\\b.exe\r\n"
        L"[delete]\r\n"
        L"old\\legacy.dll\r\n"
        L"# another comment\r\n"
        L"{desktop}/旧.lnk\r\n"
        L"[command:setup]\r\n"
        L"path={app}\\bin\\app.exe\r\n"
        L"param=\" /s 9 \"\r\n"
        L"wait=yes\r\n"
        L"key=k1\r\n"
        L"[command:cleanup]\r\n"
        L"path=cmd.exe\n";
    Manifest m;
    std::wstring error;
    ASSERT_TRUE(ParseManifest(text, m, error)) << error;
    EXPECT_EQ(m.fileUrl, L"http://cdn.example/{filename}");
    EXPECT_EQ(m.messageLines, (std::vector<std::wstring>{L"新版本已经发布", L"Second line"}));
    ASSERT_EQ(m.files.size(), 1u);
    const FileSettings& f = m.files[0];
    EXPECT_EQ(f.path, L"bin\\app.exe");
    EXPECT_EQ(f.line, 7);
    EXPECT_EQ(f.shortcut, L"{desktop}\\题库.lnk");
    EXPECT_EQ(f.shortcuticon, L"bin\\app.exe");
    EXPECT_EQ(f.iconindex, L"-2");
    EXPECT_TRUE(f.run);
    EXPECT_FALSE(f.registerFile);
    EXPECT_TRUE(f.restart);
    EXPECT_EQ(f.desname, L"a.exe;{app}\\b.exe");
    EXPECT_EQ(OperText(f), L"run boot");
    ASSERT_EQ(m.deleted.size(), 2u);
    EXPECT_EQ(m.deleted[0].path, L"old\\legacy.dll");
    EXPECT_EQ(m.deleted[1].path, L"{desktop}\\旧.lnk");
    ASSERT_EQ(m.commands.size(), 2u);
    EXPECT_EQ(m.commands[0].label, L"setup");
    EXPECT_EQ(m.commands[0].path, L"{app}\\bin\\app.exe");
    EXPECT_EQ(m.commands[0].param, L" /s 9 ");  // quotes keep the spaces
    EXPECT_TRUE(m.commands[0].wait);
    EXPECT_EQ(m.commands[0].key, L"k1");
    EXPECT_EQ(m.commands[1].path, L"cmd.exe");
    EXPECT_FALSE(m.commands[1].wait);
}

TEST(Manifest, EmptyTextIsAnEmptyManifest) {
    Manifest m;
    std::wstring error;
    ASSERT_TRUE(ParseManifest(L"", m, error));
    EXPECT_TRUE(m.files.empty() && m.deleted.empty() && m.commands.empty() && m.messageLines.empty());
}

struct BadManifest {
    const wchar_t* text;
    const wchar_t* error;  // the whole message, "LINE: what"
};

TEST(Manifest, MistakesAreRefusedWithTheirLine) {
    for (const BadManifest& bad : {
             BadManifest{L"[file:a.txt]\nrun=yes\nshortcutt=x",
                         L"3: unknown key \"shortcutt\" in [file:a.txt] (known: desname, shortcut, shortcuticon, "
                         L"iconindex, run, register, restart)"},
             BadManifest{L"[list]\nmessage=hello", L"2: unknown key \"message\" in [list] (known: fileurl)"},
             BadManifest{L"[command:a]\npath=x.exe\nwiat=yes",
                         L"3: unknown key \"wiat\" in [command:a] (known: path, param, wait, key)"},
             BadManifest{
                 L"[files]",
                 L"1: unknown section [files] (known: [list], [message], [file:PATH], [delete], [command:LABEL])"},
             BadManifest{
                 L"[list:x]",
                 L"1: unknown section [list:x] (known: [list], [message], [file:PATH], [delete], [command:LABEL])"},
             BadManifest{L"run=yes", L"1: \"run=yes\" comes before any section"},
             BadManifest{L"[file:a.txt]\nrun=yes\nRUN=no", L"3: key \"run\" is given twice in [file:a.txt]"},
             BadManifest{L"[file:a.txt]\n[file:A.TXT]", L"2: section [file:A.TXT] is given twice"},
             BadManifest{L"[file:a.txt]\nrun=sometimes",
                         L"2: run must be yes or no, not \"sometimes\" in [file:a.txt]"},
             BadManifest{L"[file:a.txt]\niconindex=one", L"2: iconindex must be a number, not \"one\" in [file:a.txt]"},
             BadManifest{L"[file:a.txt]\njust text", L"2: \"just text\" is not key=value"},
             BadManifest{L"[file:]", L"1: [file:] names no path"},
             BadManifest{L"[command:a]\nparam=-s\n[list]", L"1: [command:a] has no path"},
             BadManifest{L"[delete]\na.dll\nA.DLL", L"3: \"A.DLL\" is listed twice in [delete]"},
             BadManifest{L"[message]\nbell\x7 here", L"2: the line holds characters that a list cannot carry"},
         }) {
        SCOPED_TRACE(Narrow(bad.text, CodePage::Utf8));
        Manifest m;
        std::wstring error;
        EXPECT_FALSE(ParseManifest(bad.text, m, error));
        EXPECT_EQ(error, bad.error);
    }
}

TEST(Manifest, DecodesEveryEncodingAnEditorSaves) {
    const std::wstring expected = L"[message]\r\n题库";
    const std::string utf8 = Narrow(expected, CodePage::Utf8);
    std::string utf16 = "\xFF\xFE";
    for (wchar_t c : expected) utf16 += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    EXPECT_EQ(DecodeManifest(utf8), expected);
    EXPECT_EQ(DecodeManifest("\xEF\xBB\xBF" + utf8), expected);
    EXPECT_EQ(DecodeManifest(utf16), expected);
    // Not UTF-8: the ANSI code page, as an old editor saved it.
    const std::string ansi = "[message]\r\n\xB0\xA1";
    EXPECT_EQ(DecodeManifest(ansi), Widen(ansi, CodePage::Ansi));
}

TEST(Manifest, XmlTextRule) {
    EXPECT_TRUE(IsXmlText(L"tab\there 题库 \xD83D\xDE00"));
    EXPECT_FALSE(IsXmlText(std::wstring(L"a\x01", 2)));
    EXPECT_FALSE(IsXmlText(L"lone \xD83D surrogate"));
    EXPECT_FALSE(IsXmlText(L"lone \xDE00 low"));
    EXPECT_FALSE(IsXmlText(L"\xFFFF"));
}

// The example in README.md is a manifest the tool takes.
TEST(Manifest, TheReadmeExampleParses) {
    const std::wstring readme = DecodeManifest(test::ReadFileBytes(test::SourcePath(L"README.md")));
    const std::size_t section = readme.find(L"### The manifest");
    ASSERT_NE(section, std::wstring::npos);
    const std::size_t start = readme.find(L"```ini\n", section);
    ASSERT_NE(start, std::wstring::npos);
    const std::size_t end = readme.find(L"```", start + 7);
    Manifest m;
    std::wstring error;
    ASSERT_TRUE(ParseManifest(readme.substr(start + 7, end - start - 7), m, error)) << Narrow(error, CodePage::Utf8);
    EXPECT_EQ(m.files.size(), 1u);
    EXPECT_EQ(m.deleted.size(), 2u);
    EXPECT_EQ(m.commands.size(), 1u);
    EXPECT_EQ(m.messageLines.size(), 2u);
}

TEST(ReleasePaths, WhatTheEngineWouldChangeIsRefused) {
    struct Case {
        const wchar_t* path;
        const wchar_t* problem;  // empty: publishable
    };
    for (const Case& c : {
             Case{L"bin\\app.exe", L""},
             Case{L"数据\\题库 1.db", L""},
             Case{L"docs\\note.txt ", L"its path begins or ends with white space, which the engine trims away"},
             Case{L" lead.txt", L"its path begins or ends with white space, which the engine trims away"},
             Case{L"data\\x._.ZIP", L"its path holds \"._.zip\", which the engine removes from list paths"},
             Case{L"a._.zip\\b.txt", L"its path holds \"._.zip\", which the engine removes from list paths"},
             Case{L"UPDATE.XML", L"it has the name of the list file (choose another with --list-name)"},
             Case{L"update.xml._.zip", L"its path holds \"._.zip\", which the engine removes from list paths"},
             Case{L"mirefold.xml",
                  L"the engine keeps the installed list as mirefold.xml at the top of the installation"},
             Case{L"sub\\mirefold.xml", L""},
             Case{L"Mirefold.INI", L"the engine keeps its own mirefold.ini at the top of the installation"},
             Case{L"__oldfiles.lst", L"the engine keeps its own __oldfiles.lst at the top of the installation"},
             Case{L"sub\\__oldfiles.lst", L""},
             Case{L"bad\x01name", L"its name holds characters that a list cannot carry"},
         })
        EXPECT_EQ(PathProblem(c.path, L"update.xml"), c.problem) << Narrow(c.path, CodePage::Utf8);
}

}  // namespace
}  // namespace mf::publish
