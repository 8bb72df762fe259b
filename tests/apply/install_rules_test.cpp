// The rules of the install phase and of task documents that need no file
// system: table-driven.
#include <gtest/gtest.h>

#include <map>

#include "apply/install_rules.h"
#include "apply/task_rules.h"
#include "base/path_text.h"
#include "base/strings.h"
#include "list/run_command.h"

namespace mf {
namespace {

TEST(InstallRules, BackupNamesInTheOrderTried) {
    const std::vector<std::wstring> names = BackupNames(L"C:\\app\\a.dll");
    ASSERT_EQ(names.size(), 11u);
    EXPECT_EQ(names[0], L"C:\\app\\a.dll.__old");
    EXPECT_EQ(names[1], L"C:\\app\\a.dll.__old0");
    EXPECT_EQ(names[10], L"C:\\app\\a.dll.__old9");
}

TEST(InstallRules, WhichCommandsWait) {
    const struct {
        const wchar_t* flag;
        bool waits;
    } cases[] = {
        {L"1", true},    {L"y", true},  {L"Y", true}, {L"yes", true},    {L"no", true},  // its "o" counts as "1"
        {L"true", true}, {L"0", false}, {L"", false}, {L"false", false}, {L"n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(CommandWaits(c.flag), c.waits) << Narrow(c.flag);
}

TEST(InstallRules, ListCommandSplitBeforeMacros) {
    // A macro that brings a "9" (a folder named like a version) must not cut
    // the program path apart.
    const auto expand = [](const std::wstring& text) { return Replaced(text, L"{app}", L"C:\\Prog9\\"); };
    const ListCommand command =
        ParseListCommand(JoinRunCommand({L"{app}setup.exe", L"-q {app}", L"yes", L"k"}), expand);
    EXPECT_EQ(command.path, L"C:\\Prog9\\setup.exe");
    EXPECT_EQ(command.parameters, L"-q C:\\Prog9\\");
    EXPECT_TRUE(command.wait);

    const ListCommand bare = ParseListCommand(L"x.exe", expand);
    EXPECT_EQ(bare.path, L"x.exe");
    EXPECT_EQ(bare.parameters, L"");
    EXPECT_FALSE(bare.wait);
}

TEST(InstallRules, ListCommandLineLeavesOutEmptyBrackets) {
    EXPECT_EQ(ListCommandLine(L"Run", {L"C:\\a.exe", L"-s", true}), L"Run[C:\\a.exe][-s][wait]");
    EXPECT_EQ(ListCommandLine(L"Run", {L"C:\\a.exe", L"", false}), L"Run[C:\\a.exe][nowait]");
}

TEST(InstallRules, DesktopShortcutNamedFromConfiguration) {
    const std::map<std::wstring, std::wstring> keys{{L"LinkName", L"Question Bank"}, {L"Empty", L""}};
    const auto read = [&](const std::wstring& key) {
        const auto found = keys.find(key);
        return found == keys.end() ? std::wstring() : found->second;
    };
    const struct {
        const wchar_t* link;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\users\\u\\Desktop\\{LinkName}", L"C:\\users\\u\\Desktop\\Question Bank"},
        {L"C:\\users\\u\\desktop\\sub\\{ LinkName }.lnk", L"C:\\users\\u\\desktop\\Question Bank"},
        {L"C:\\users\\u\\Desktop\\{Empty}", L"C:\\users\\u\\Desktop\\{Empty}"},    // no value: unchanged
        {L"C:\\users\\u\\Desktop\\{}", L"C:\\users\\u\\Desktop\\{}"},              // no key
        {L"C:\\users\\u\\Start Menu\\{LinkName}", L"C:\\users\\u\\Start Menu\\{LinkName}"},  // not a desktop
        {L"C:\\users\\u\\Desktop\\plain", L"C:\\users\\u\\Desktop\\plain"},
    };
    for (const auto& c : cases) EXPECT_EQ(DesktopShortcutPath(c.link, read), c.expected) << Narrow(c.link);
}

TEST(InstallRules, SecondListPath) {
    EXPECT_EQ(SecondListPath(L"C:\\t\\93F3-7B369C.xml.xml"), L"C:\\t\\93F3-7B369C.xml");
    EXPECT_EQ(SecondListPath(L"C:\\t\\93F3-7B369C.xml"), L"C:\\t\\93F3-7B369C.xml.xml");
}

TEST(InstallRules, GrantParametersQuoteThePathAsItIs) {
    EXPECT_EQ(GrantParameters(L"C:\\app\\a.dll"), L"\"C:\\app\\a.dll\" /grant Users:(D,WDAC)");
    // An apostrophe in a name stays one: it neither ends the quoted path
    // nor lets the rest of the name become parameters of the tool.
    EXPECT_EQ(GrantParameters(L"C:\\O'Brien\\x' /grant Everyone:F 'y"),
              L"\"C:\\O'Brien\\x' /grant Everyone:F 'y\" /grant Users:(D,WDAC)");
}

TEST(InstallRules, PathsOfTheTemporaryFolder) {
    EXPECT_EQ(JoinFolderPath(L"C:\\t\\H", L"sub/a.dll"), L"C:\\t\\H\\sub\\a.dll");
    EXPECT_EQ(JoinFolderPath(L"C:\\t\\H\\", L"\\a.dll"), L"C:\\t\\H\\a.dll");
    EXPECT_EQ(JoinFolderPath(L"C:\\t\\H", L"D:\\x\\a.dll"), L"D:\\x\\a.dll");
    EXPECT_EQ(JoinFolderPath(L"C:\\t\\H", L"\\\\srv\\s\\a.dll"), L"\\\\srv\\s\\a.dll");
    EXPECT_EQ(DisplayPath(L"C:\\app\\sub\\a.dll", L"C:\\app\\"), L"sub\\a.dll");
    EXPECT_EQ(FolderOf(L"C:\\app\\a.dll"), L"C:\\app");
    EXPECT_EQ(LastComponent(L"C:\\app\\a.dll"), L"a.dll");
    EXPECT_EQ(TemporaryNameBeside(L"C:\\app\\a.dll"), L"C:\\app\\a.dll.__new");
}

TEST(InstallRules, FileEntryPathAsTheListReaderStoresIt) {
    const struct {
        std::map<std::wstring, std::wstring> attributes;
        const wchar_t* path;
    } cases[] = {
        {{{L"path", L" bin|tool.exe "}}, L"bin\\tool.exe"},
        {{{L"Name", L"data\\big.dat._.zip"}}, L"data\\big.dat"},
        {{{L"path", L""}, {L"file", L"b.dll"}}, L"b.dll"},
        {{{L"url", L"http://h/d/setup.exe"}}, L"setup.exe"},
        {{{L"path", L"https://h/d/x.zip"}}, L"x.zip"},
        {{{L"URL", L"http://h/d/"}}, L"d"},
    };
    for (const auto& c : cases) {
        const auto lookup = [&](const wchar_t* name) {
            const auto found = c.attributes.find(name);
            return found == c.attributes.end() ? std::wstring() : found->second;
        };
        EXPECT_EQ(FileEntryPath(lookup), c.path);
    }
}

TEST(TaskRules, TaskNamesCompareExactly) {
    EXPECT_EQ(TaskKindOf(L"run"), TaskKind::Run);
    EXPECT_EQ(TaskKindOf(L"ren"), TaskKind::Rename);
    EXPECT_EQ(TaskKindOf(L"rename"), TaskKind::Rename);
    EXPECT_EQ(TaskKindOf(L"kill"), TaskKind::Kill);
    EXPECT_EQ(TaskKindOf(L"path"), TaskKind::Path);
    EXPECT_EQ(TaskKindOf(L"del"), TaskKind::Delete);
    EXPECT_EQ(TaskKindOf(L"shortcut"), TaskKind::Shortcut);
    EXPECT_EQ(TaskKindOf(L"ini"), TaskKind::Ini);
    for (const wchar_t* container : {L"Run", L"DEL", L"tasks", L"Ini", L"", L"runs"})
        EXPECT_EQ(TaskKindOf(container), TaskKind::None) << Narrow(container);
}

TEST(TaskRules, BooleanText) {
    for (const wchar_t* yes : {L"1", L"yes", L"true", L"Y", L"not", L"T"}) EXPECT_TRUE(IsTrueText(yes)) << Narrow(yes);
    for (const wchar_t* no : {L"0", L"no", L"false", L"", L"n"}) EXPECT_FALSE(IsTrueText(no)) << Narrow(no);
}

TEST(TaskRules, LinkFileNameAndDocumentNames) {
    EXPECT_EQ(LinkFileName(L"C:\\d\\My App"), L"C:\\d\\My App.lnk");
    EXPECT_EQ(LinkFileName(L"C:\\d\\My App.LNK"), L"C:\\d\\My App.LNK");
    EXPECT_TRUE(IsTaskDocumentName(L"C:\\app\\tasks.XML"));
    EXPECT_FALSE(IsTaskDocumentName(L"C:\\app\\tasks.xml.bak"));
    EXPECT_FALSE(IsTaskDocumentName(L".xml"));  // the suffix must follow a name
    EXPECT_FALSE(IsTaskDocumentName(L"C:\\app\\setup.exe"));
}


}  // namespace
}  // namespace mf
