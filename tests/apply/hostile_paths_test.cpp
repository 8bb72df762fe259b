// Paths from lists, task documents and packages that would make the engine
// write or delete outside where it should: relative paths that climb out,
// names with ":" that are no drive, and the engine's own bookkeeping files.
// Absolute paths and the path macros stay what lists offer for elsewhere.
#include <gtest/gtest.h>

#include "apply/download_rules.h"
#include "apply/run_file.h"
#include "base/files.h"
#include "base/path_text.h"
#include "base/strings.h"
#include "engine/targets.h"
#include "install_fixture.h"

namespace mf {
namespace {

using Paths = std::vector<std::wstring>;

class HostilePaths : public test::InstallFixture {
protected:
    // A relative path from the installation folder to a file of somebody
    // else's folder beside it.
    [[nodiscard]] std::wstring Climb(const std::wstring& name) const {
        return L"..\\" + LastComponent(outside_.path()) + L"\\" + name;
    }
    [[nodiscard]] std::wstring Outside(const std::wstring& name) const { return outside_ / name; }
    void Victim(const std::wstring& name) { ASSERT_TRUE(test::WriteFileBytes(Outside(name), "keep me")); }
    [[nodiscard]] std::string VictimBytes(const std::wstring& name) const {
        return FileExists(Outside(name)) ? test::ReadFileBytes(Outside(name)) : "<gone>";
    }
    // A pending file where a download of the record's path would leave it.
    void PendingFor(const std::wstring& recordPath, const std::string& bytes) {
        std::wstring pending = DownloadPathWith(DownloadFolder(), recordPath);
        if (pending.empty()) pending = FullPath(DownloadFolder() + L"\\" + recordPath);
        CreateFolderTree(FolderOf(pending));
        ASSERT_TRUE(test::WriteFileBytes(pending + L"_", bytes));
    }

    test::TempFolder outside_;
};

TEST_F(HostilePaths, RelativePathsThatClimbOutAreNoTargets) {
    struct Case {
        std::wstring path, desname;
        Paths targets;
    };
    const Case cases[] = {
        {Climb(L"evil.txt"), L"", {}},
        {L"a.txt", Climb(L"evil.txt"), {}},
        {L"a.txt", L"ok.txt;" + Climb(L"evil.txt"), {Installed(L"ok.txt")}},
        {L"sub\\a.txt", L"..", {}},
        {L"sub\\a.txt", L"...", {}},
        {L"a.txt", L"sub/../../evil.txt", {}},
        // Below the folder all the way: still inside.
        {L"sub\\..\\a.txt", L"", {Installed(L"sub\\..\\a.txt")}},
        // ":" after the first character is no drive: a stream, a device.
        {L"data\\good.txt:stream", L"", {}},
        {L"a.txt", L"b.txt:evil", {}},
        {L"a.txt", L"C:evil.txt", {}},
        // Absolute paths and macros name places elsewhere, as lists may.
        {L"a.txt", Outside(L"abs.txt"), {Outside(L"abs.txt")}},
        {L"{app}\\x.txt", L"", {Installed(L"x.txt")}},
        {L"{sys}\\x.dll", L"", {SystemFolder() + L"\\x.dll"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExpandTargets(c.path, c.desname), c.targets) << Narrow(c.path) << " | " << Narrow(c.desname);
    }
    EXPECT_EQ(ExpandList(L"a.txt", Climb(L"evil.lnk")), Paths{});
}

TEST_F(HostilePaths, LongPathAndNetworkNamesStayWhole) {
    const std::wstring target = Outside(L"x.dat");
    EXPECT_EQ(ExpandTargets(L"\\\\?\\" + target, L""), Paths{L"\\\\?\\" + target});
    EXPECT_EQ(ExpandTargets(L"a.txt", L"\\\\server\\share\\x.dat"), Paths{L"\\\\server\\share\\x.dat"});
    EXPECT_EQ(ExpandTargets(L"\\\\.\\C:", L""), Paths{});
}

TEST_F(HostilePaths, InstallWritesAndDeletesNothingOutside) {
    Victim(L"victim.txt");
    Victim(L"deleted.txt");
    AddRecord(Climb(L"evil.txt"));
    PendingFor(Climb(L"evil.txt"), "evil");
    AddRecord(L"a.txt", Climb(L"victim.txt"));
    PendingFor(L"a.txt", "evil");
    AddRecord(Climb(L"deleted.txt"), L"", OPER_DEL);
    RunPhase();
    EXPECT_FALSE(FileExists(Outside(L"evil.txt")));
    EXPECT_EQ(VictimBytes(L"victim.txt"), "keep me");
    EXPECT_EQ(VictimBytes(L"deleted.txt"), "keep me");
    EXPECT_NE(LogText().find(L"Path refused[" + Climb(L"evil.txt") + L"]"), std::wstring::npos) << Narrow(LogText());
}

// A record named by its long-path name is fetched into the download folder
// like any other and installed whole: nothing is left beside its target.
TEST_F(HostilePaths, LongPathRecordLeavesNothingBehind) {
    const std::wstring target = Outside(L"x.dat");
    const std::wstring path = L"\\\\?\\" + target;
    const std::wstring temporary = DownloadPathWith(DownloadFolder(), path);
    EXPECT_TRUE(IsInside(temporary, DownloadFolder())) << Narrow(temporary);
    AddRecord(path);
    PendingFor(path, "new");
    RunPhase();
    EXPECT_EQ(test::ReadFileBytes(target), "new");
    EXPECT_FALSE(FileExists(target + L"_"));
}

TEST_F(HostilePaths, TheEnginesOwnFilesAreNoTargets) {
    for (const wchar_t* own : {L"mirefold.ini", L"MIREFOLD.XML", L"__oldfiles.lst", L"install.log",
                               L"sub\\..\\mirefold.ini", L"{app}\\__oldfiles.lst"}) {
        EXPECT_EQ(ExpandTargets(own, L""), Paths{}) << Narrow(own);
        EXPECT_EQ(ExpandTargets(L"a.txt", own), Paths{}) << Narrow(own);
    }
    // The same names elsewhere are ordinary files.
    EXPECT_EQ(ExpandTargets(L"sub\\mirefold.ini", L""), Paths{Installed(L"sub\\mirefold.ini")});
}

// A release that ships the old-files list would have the next start delete
// what it names; a shipped mirefold.ini would redirect the log.
TEST_F(HostilePaths, ShippedBookkeepingFilesAreNotInstalled) {
    Victim(L"victim.txt");
    AddRecord(L"__oldfiles.lst");
    PendingFor(L"__oldfiles.lst", "\r\n" + Narrow(Outside(L"victim.txt")));
    AddRecord(L"mirefold.ini");
    PendingFor(L"mirefold.ini", test::EngineIni().Set(L"Mirefold", L"Log", Outside(L"redirected.log")).Text());
    RunPhase();
    Restart();
    state().paths.PurgeOldFiles();
    EXPECT_EQ(VictimBytes(L"victim.txt"), "keep me");
    WriteLog(L"after the update");
    EXPECT_FALSE(FileExists(Outside(L"redirected.log")));
}

TEST_F(HostilePaths, OldFilesListDeletesOnlyInsideTheInstallation) {
    Victim(L"victim.txt");
    Install(L"old.dll.__old", "old");
    ASSERT_TRUE(test::WriteFileBytes(Installed(L"__oldfiles.lst"),
                                     "\r\n" + Narrow(Outside(L"victim.txt")) + "\r\n" + Narrow(Climb(L"victim.txt")) +
                                         "\r\nold.dll.__old"));
    state().paths.PurgeOldFiles();
    EXPECT_EQ(VictimBytes(L"victim.txt"), "keep me");
    EXPECT_FALSE(FileExists(Installed(L"old.dll.__old")));
}

TEST_F(HostilePaths, TaskDocumentPathsStayInside) {
    Victim(L"victim.txt");
    Install(L"keep.txt", "x");
    const std::string climb = Narrow(Climb(L""));
    Install(L"tasks.xml", "<tasks><del file=\"" + climb + "victim.txt\"/><ini file=\"" + climb +
                              "x.ini\" app=\"a\" key=\"k\" value=\"v\"/><path name=\"" + climb +
                              "made\"/><ren source=\"keep.txt\" target=\"" + climb +
                              "moved.txt\"/><del path=\"sub\\..\\..\\" + Narrow(LastComponent(outside_.path())) +
                              "\"/></tasks>");
    EXPECT_TRUE(RunFile(L"tasks.xml", L"", false));
    EXPECT_EQ(VictimBytes(L"victim.txt"), "keep me");
    EXPECT_FALSE(FileExists(Outside(L"x.ini")));
    EXPECT_FALSE(FolderExists(Outside(L"made")));
    EXPECT_FALSE(FileExists(Outside(L"moved.txt")));
    EXPECT_TRUE(FileExists(Installed(L"keep.txt")));
    EXPECT_NE(LogText().find(L"Path refused[" + Climb(L"victim.txt") + L"]"), std::wstring::npos) << Narrow(LogText());
}

}  // namespace
}  // namespace mf
