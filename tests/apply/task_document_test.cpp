// Upgrade task documents run through the run-file operation, in an
// installation folder of the test prefix.
#include <gtest/gtest.h>

#include <chrono>

#include "apply/run_file.h"
#include "apply/task_document.h"
#include "base/files.h"
#include "base/strings.h"
#include "install_fixture.h"
#include "support/test_main_program.h"

namespace mf {
namespace {

class TaskDocument : public test::InstallFixture {
protected:
    // Writes the document into the installation folder and runs it.
    bool RunDocument(const std::wstring& name, const std::string& xml) {
        Install(name, xml);
        return RunFile(name, L"", false);
    }
    [[nodiscard]] bool Exists(const std::wstring& relative) const { return FileExists(Installed(relative)); }
};

TEST_F(TaskDocument, RootThatIsItselfARunTaskRunsThenItsChildren) {
    InstallHelper(L"mirefold-testmark.exe", L"marks\\root.exe");
    Install(L"gone.txt", "x");
    EXPECT_TRUE(RunDocument(L"root.xml",
                            "<run file=\"{app}\\marks\\root.exe\" param=\"root\" waitclose=\"1\">"
                            "<del file=\"gone.txt\"/></run>"));
    EXPECT_EQ(test::MarkLog(Installed(L"marks\\root.exe")), "root\r\n");
    EXPECT_FALSE(Exists(L"gone.txt"));
    EXPECT_NE(LogText().find(L"Run file[root.exe][root]"), std::wstring::npos) << Narrow(LogText());
}

TEST_F(TaskDocument, ContainersOfAnyNameAreWalkedDepthFirst) {
    Install(L"sub\\a.txt", "x");
    Install(L"b.txt", "x");
    EXPECT_TRUE(RunDocument(L"walk.xml",
                            "<anything><group a=\"1\"><del file=\"sub\\a.txt\"/><deeper><del file=\"b.txt\"/>"
                            "</deeper></group></anything>"));
    EXPECT_FALSE(Exists(L"sub\\a.txt"));
    EXPECT_FALSE(Exists(L"b.txt"));
    const std::wstring log = LogText();
    const std::size_t first = log.find(L"Remove file[" + Installed(L"sub\\a.txt") + L"]");
    const std::size_t second = log.find(L"Remove file[" + Installed(L"b.txt") + L"]");
    ASSERT_NE(first, std::wstring::npos) << Narrow(log);
    EXPECT_LT(first, second);
}

TEST_F(TaskDocument, NamesInAnotherCaseAreNotTasks) {
    InstallHelper(L"mirefold-testmark.exe", L"never.exe");
    Install(L"keep.txt", "x");
    EXPECT_TRUE(RunDocument(L"case.xml",
                            "<tasks><Run file=\"never.exe\" waitclose=\"1\"/><DEL file=\"keep.txt\"/>"
                            "<Del file=\"keep.txt\"/></tasks>"));
    EXPECT_TRUE(Exists(L"keep.txt"));
    EXPECT_FALSE(FileExists(Installed(L"never.exe.log")));
}

TEST_F(TaskDocument, WaitcloseWaitsForAnyTrueText) {
    InstallHelper(L"mirefold-testmark.exe", L"w.exe");
    InstallHelper(L"mirefold-testmark.exe", L"n.exe");
    // "not" holds a "t": it waits.
    EXPECT_TRUE(RunDocument(L"wait.xml",
                            "<t><run file=\"w.exe\" param=\"--delay=300 not\" waitclose=\"not\"/>"
                            "<run file=\"w.exe\" param=\"--delay=300 Y\" waitclose=\"Y\"/>"
                            "<run file=\"n.exe\" param=\"--delay=3000 no\" waitclose=\"no\"/></t>"));
    EXPECT_EQ(test::MarkLog(Installed(L"w.exe")), "--delay=300 not\r\n--delay=300 Y\r\n");
    EXPECT_EQ(test::MarkLog(Installed(L"n.exe")), "");
    EXPECT_TRUE(test::WaitUntil([&] { return !test::MarkLog(Installed(L"n.exe")).empty(); }, std::chrono::seconds(20)));
}

TEST_F(TaskDocument, PathTaskTakesTheElementTextWithoutAName) {
    EXPECT_TRUE(RunDocument(L"path.xml", "<t><path>made\\deep</path><path name=\"{app}\\named/inner\"/></t>"));
    EXPECT_TRUE(FolderExists(Installed(L"made\\deep")));
    EXPECT_TRUE(FolderExists(Installed(L"named\\inner")));
    EXPECT_NE(LogText().find(L"Create directory[" + Installed(L"made\\deep") + L"]"), std::wstring::npos);
}

TEST_F(TaskDocument, IniWritesAndEmptiesKeys) {
    Install(L"set.ini", "[S]\r\nK2=old\r\nK3=keep\r\n");
    EXPECT_TRUE(RunDocument(L"ini.xml",
                            "<t><ini file=\"set.ini\" app=\"S\" key=\"K\" value=\"V\"/>"
                            "<ini file=\"set.ini\" app=\"S\" key=\"K2\" value=\"\"/></t>"));
    const auto read = [&](const wchar_t* key) {
        wchar_t value[64] = {};
        ::GetPrivateProfileStringW(L"S", key, L"(none)", value, 64, Installed(L"set.ini").c_str());
        return std::wstring(value);
    };
    EXPECT_EQ(read(L"K"), L"V");
    EXPECT_EQ(read(L"K2"), L"(none)");
    EXPECT_EQ(read(L"K3"), L"keep");
    const std::wstring log = LogText();
    EXPECT_NE(log.find(L"Write ini[set.ini][K][V]"), std::wstring::npos) << Narrow(log);
    EXPECT_NE(log.find(L"Empty ini[set.ini][K2]"), std::wstring::npos);
}

TEST_F(TaskDocument, ShortcutWithoutLnkGetsIt) {
    Install(L"app.exe", "exe");
    EXPECT_TRUE(RunDocument(L"link.xml", "<t><shortcut file=\"app.exe\" shortcut=\"links\\My App\"/></t>"));
    EXPECT_TRUE(Exists(L"links\\My App.lnk"));
    EXPECT_NE(LogText().find(L"Create shortcut[" + Installed(L"links\\My App") + L"]..."), std::wstring::npos);
    // A link to a missing target is not made, but the line is written.
    EXPECT_TRUE(RunDocument(L"link2.xml", "<t><shortcut file=\"none.exe\" shortcut=\"links\\None.lnk\"/></t>"));
    EXPECT_FALSE(Exists(L"links\\None.lnk"));
    EXPECT_NE(LogText().find(L"Create shortcut[" + Installed(L"links\\None.lnk") + L"]..."), std::wstring::npos);
}

TEST_F(TaskDocument, RenameMovesAndAnEmptyNameSkipsTheChildren) {
    Install(L"a.txt", "a");
    Install(L"d.txt", "d");
    EXPECT_TRUE(RunDocument(L"ren.xml",
                            "<t><ren source=\"a.txt\" target=\"b.txt\"/>"
                            "<rename source=\"\" target=\"c.txt\"><del file=\"d.txt\"/></rename></t>"));
    EXPECT_FALSE(Exists(L"a.txt"));
    EXPECT_EQ(test::ReadFileBytes(Installed(L"b.txt")), "a");
    EXPECT_TRUE(Exists(L"d.txt"));
    EXPECT_NE(LogText().find(L"Move file:[" + Installed(L"a.txt") + L"->" + Installed(L"b.txt") + L"]"),
              std::wstring::npos);
}

TEST_F(TaskDocument, RunOfAnotherDocumentRunsItsTasks) {
    Install(L"x.txt", "x");
    Install(L"docs\\inner.xml", "<t><del file=\"x.txt\"/></t>");
    EXPECT_TRUE(RunDocument(L"outer.xml", "<t><run file=\"docs\\inner.xml\"/></t>"));
    EXPECT_FALSE(Exists(L"x.txt"));
}

// A document that runs itself (here through another) runs once: before, it
// recursed until the thread's stack ran out.
TEST_F(TaskDocument, DocumentRunningItselfRunsOnce) {
    InstallHelper(L"mirefold-testmark.exe", L"once.exe");
    Install(L"b.xml", "<t><run file=\"a.xml\"/></t>");
    EXPECT_TRUE(
        RunDocument(L"a.xml", "<t><run file=\"once.exe\" param=\"a\" waitclose=\"1\"/><run file=\"b.xml\"/></t>"));
    EXPECT_EQ(test::MarkLog(Installed(L"once.exe")), "a\r\n");
    EXPECT_NE(LogText().find(L"Task document already running[" + Installed(L"a.xml") + L"]"), std::wstring::npos)
        << Narrow(LogText());
}

TEST_F(TaskDocument, DocumentTypeIsRefused) {
    Install(L"x.txt", "x");
    Install(L"y.txt", "y");
    EXPECT_FALSE(RunDocument(L"dtd.xml",
                             "<?xml version=\"1.0\"?>\n<!DOCTYPE t [<!ENTITY f \"x.txt\">]>\n"
                             "<t><del file=\"&f;\"/><del file=\"y.txt\"/></t>"));
    EXPECT_TRUE(Exists(L"x.txt"));
    EXPECT_TRUE(Exists(L"y.txt"));
}

TEST_F(TaskDocument, BrokenDocumentRunsNothing) {
    Install(L"y.txt", "y");
    EXPECT_FALSE(RunDocument(L"broken.xml", "<t><del file=\"y.txt\"/>"));
    EXPECT_TRUE(Exists(L"y.txt"));
}

TEST_F(TaskDocument, ProgramsRunFromTheirOwnFolderAndMissingOnesWriteNothing) {
    InstallHelper(L"mirefold-testmark.exe", L"bin\\p.exe");
    EXPECT_TRUE(RunFile(L"bin\\p.exe", L"", L"one two", nullptr, 0, true));
    EXPECT_EQ(test::MarkLog(Installed(L"bin\\p.exe")), "one two\r\n");
    EXPECT_NE(LogText().find(L"Run file[p.exe][one two]"), std::wstring::npos);
    EXPECT_FALSE(RunFile(L"bin\\missing.exe", L"", L"", nullptr, 0, true));
    EXPECT_EQ(LogText().find(L"missing.exe"), std::wstring::npos);
}

TEST_F(TaskDocument, KillClosesTheProgramsOfAPath) {
    // A program with a window on screen is closed; one that only has a
    // hidden window (a host's receiving window, say) is not asked.
    CreateFolderTree(Installed(L"victim"));
    const std::wstring victim = Installed(L"victim\\victim.exe");
    ASSERT_TRUE(test::TestMainProgram::CopyTo(victim));
    test::TestMainProgram program(L"", victim);
    ASSERT_TRUE(program.ready());
    const std::wstring hidden = Installed(L"victim\\hidden.exe");
    ASSERT_TRUE(::CopyFileW(test::BuildPath(L"bin\\mirefold-testhost.exe").c_str(), hidden.c_str(), FALSE));
    test::ChildProcess child =
        test::ChildProcess::Start(L"\"" + hidden + L"\" --record \"" + Installed(L"rec.txt") + L"\"");
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(test::WaitUntil([&] { return FileExists(Installed(L"rec.txt")); }, std::chrono::seconds(20)));

    EXPECT_TRUE(
        RunDocument(L"kill.xml", "<t><kill file=\"victim\\VICTIM.exe\"/><kill file=\"victim\\hidden.exe\"/></t>"));
    EXPECT_TRUE(program.WaitForExit(std::chrono::seconds(15)));
    EXPECT_NE(LogText().find(L"Kill process[" + Installed(L"victim\\VICTIM.exe") + L"]"), std::wstring::npos);
    EXPECT_FALSE(child.Wait(std::chrono::milliseconds(500)));
    child.Kill();
}

// Run in a child process by the test below: a kill task naming a folder
// that holds the running program's own path. The child notes that it lived
// through the task (a process terminated with exit code 0 would otherwise
// pass for one whose test passed).
TEST_F(TaskDocument, DISABLED_KillTaskInTheEngineItself) {
    wchar_t marker[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(L"MF_KILL_SELF_MARKER", marker, MAX_PATH) == 0) GTEST_SKIP();
    const HWND own = ::CreateWindowExW(0, L"STATIC", L"engine window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100,
                                       100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(own, nullptr);
    const std::wstring engine = ExecutablePath();
    const std::wstring folder = engine.substr(0, engine.find_last_of(L'\\'));
    EXPECT_TRUE(RunDocument(L"kill-self.xml", "<t><kill file=\"" + Narrow(folder) + "\"/></t>"));
    EXPECT_TRUE(::IsWindow(own));
    EXPECT_TRUE(test::WriteFileBytes(marker, "survived"));
    ::DestroyWindow(own);
}

TEST_F(TaskDocument, KillNeverClosesTheEngineItself) {
    const std::wstring marker = Root() + L"\\survived.txt";
    ::SetEnvironmentVariableW(L"MF_KILL_SELF_MARKER", marker.c_str());
    test::ChildProcess child = test::ChildProcess::Start(
        L"\"" + ExecutablePath() +
        L"\" --gtest_filter=TaskDocument.DISABLED_KillTaskInTheEngineItself --gtest_also_run_disabled_tests");
    ::SetEnvironmentVariableW(L"MF_KILL_SELF_MARKER", nullptr);
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(child.Wait(std::chrono::seconds(60)));
    EXPECT_TRUE(FileExists(marker)) << "the kill task ended the program that ran it";
}

}  // namespace
}  // namespace mf
