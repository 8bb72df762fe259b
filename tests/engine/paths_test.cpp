#include <gtest/gtest.h>

#include "base/handles.h"
#include "base/strings.h"
#include "engine/paths.h"
#include "support/engine_fixture.h"

namespace mf {
namespace {

using test::EngineFixture;

std::wstring FakeFolder(ShellFolder f) {
    switch (f) {
        case ShellFolder::ProgramFiles: return L"C:\\PF";
        case ShellFolder::Desktop: return L"C:\\Users\\u\\Desktop\\";
        case ShellFolder::CommonDesktop: return L"C:\\Public\\Desktop";
        case ShellFolder::Startup: return L"C:\\Start\\Startup";
        case ShellFolder::CommonStartup: return L"C:\\All\\Startup";
        case ShellFolder::Windows: return L"C:\\windows";
        case ShellFolder::System: return L"C:\\windows\\system32";
        case ShellFolder::SysWow64: return L"C:\\windows\\SysWOW64";
        default: return L"C:\\Other";
    }
}

TEST(PathMacros, Expansion) {
    const std::wstring work = L"C:\\Tarnwick\\vdzq\\QB\\";
    struct Case { const wchar_t* text; const wchar_t* expanded; };
    const Case cases[] = {
        {L"{app}\\bin\\a.dll", L"C:\\Tarnwick\\vdzq\\QB\\bin\\a.dll"},
        {L"{pf}\\x", L"C:\\PF\\x"},
        {L"{desktop}\\Demo.lnk", L"C:\\Users\\u\\Desktop\\Demo.lnk"},
        {L"{commondesktop}\\a", L"C:\\Public\\Desktop\\a"},
        {L"{commonstartup}\\a|{startup}\\b", L"C:\\All\\Startup\\a|C:\\Start\\Startup\\b"},
        // {syswow64} wins and stops: {sys} stays, nothing else is applied.
        {L"{syswow64}\\a;{sys}\\b", L"C:\\windows\\SysWOW64\\a;{sys}\\b"},
        {L"{sys}\\x.ocx", L"C:\\windows\\system32\\x.ocx"},
        // Only the first of {target}, {path}, {app} is replaced.
        {L"{path}\\a;{app}\\b", L"C:\\Tarnwick\\vdzq\\QB\\a;{app}\\b"},
        {L"{APP}\\a", L"{APP}\\a"},
        // An unchanged text keeps its doubled backslashes.
        {L"a\\\\b", L"a\\\\b"},
    };
    for (const Case& c : cases) EXPECT_EQ(ExpandMacrosWith(c.text, work, FakeFolder), c.expanded) << c.text;
}

TEST(PathMacros, Resolution) {
    const std::wstring work = L"C:\\W\\";
    struct Case { const wchar_t* base; const wchar_t* text; const wchar_t* resolved; };
    const Case cases[] = {
        {L"C:\\W\\", L"data/q1.dat", L"C:\\W\\data\\q1.dat"},
        {L"C:\\W", L"data\\\\q1.dat", L"C:\\W\\data\\q1.dat"},
        {L"C:\\W\\", L"D:\\abs\\x.exe", L"D:\\abs\\x.exe"},
        {L"C:\\Base", L"{app}x.exe", L"C:\\W\\x.exe"},
        {L"C:\\W\\", L"a////b", L"C:\\W\\a\\b"},
        // Only a drive, a UNC or a long-path name is absolute; they keep the
        // two backslashes that begin them.
        {L"C:\\W\\", L"\\\\srv\\share\\x.exe", L"\\\\srv\\share\\x.exe"},
        {L"C:\\W\\", L"\\\\?\\D:\\x.exe", L"\\\\?\\D:\\x.exe"},
        {L"\\\\srv\\app", L"a.exe", L"\\\\srv\\app\\a.exe"},
        // Any other ":" is refused: a stream or a drive-relative name was
        // taken for absolute and landed in the current folder.
        {L"C:\\W\\", L"data\\good.txt:stream", L""},
        {L"C:\\W\\", L"C:x.exe", L""},
        {L"C:\\W\\", L"D:\\x.exe:evil", L""},
        {L"C:\\W\\", L"\\\\.\\PhysicalDrive0", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(ResolvePathWith(c.base, c.text, work, FakeFolder), c.resolved) << c.text;
}

TEST(PathMacros, PathsOfListsStayInsideTheirFolder) {
    const std::wstring work = L"C:\\W\\";
    struct Case { const wchar_t* text; const wchar_t* resolved; };
    const Case cases[] = {
        {L"..\\..\\evil.txt", L""},
        {L"a\\..\\..\\evil.txt", L""},
        {L"a/../../evil.txt", L""},
        {L"...\\evil.txt", L""},
        {L"a\\..\\b.txt", L"C:\\W\\a\\..\\b.txt"},
        // Macros and absolute paths are how a list names places elsewhere.
        {L"{app}\\..\\x.txt", L"C:\\W\\..\\x.txt"},
        {L"{sys}\\x.dll", L"C:\\windows\\system32\\x.dll"},
        {L"D:\\x.txt", L"D:\\x.txt"},
    };
    for (const Case& c : cases) EXPECT_EQ(ResolveInsideWith(work, c.text, work, FakeFolder), c.resolved) << c.text;
}

TEST(ListNameHash, KnownValues) {
    EXPECT_EQ(ListNameHash(L"abc"), L"93F3-7B369C");
    EXPECT_EQ(ListNameHash(L""), L"1812-349999");
    // A list address as the engine hashes it, and one letter away from it.
    EXPECT_EQ(ListNameHash(L"http://h/a/update.xml9999999999"), L"8E66-66A210");
    EXPECT_EQ(ListNameHash(L"http://h/b/update.xml9999999999"), L"B199-99D543");
}

class PathsTest : public EngineFixture {};

TEST_F(PathsTest, TemporaryFolderChoices) {
    wchar_t system[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, system);
    WriteIni(test::EngineIni().Set(L"Mirefold", L"", L""));
    EXPECT_EQ(state().paths.TempFolder(), system);

    WriteIni(test::EngineIni().Set(L"Mirefold", L"TempPath", L"cache"));
    EXPECT_EQ(state().paths.TempFolder(), folder().path() + L"\\cache");
}

TEST_F(PathsTest, TemporaryFolderCanBeTheWorkingFolder) {
    WriteIni(test::EngineIni().Set(L"Mirefold", L"TempAppPath", L"yes").Set(L"Mirefold", L"TempPath", L"cache"));
    EXPECT_EQ(state().paths.TempFolder(), folder().path() + L"\\");
}

TEST_F(PathsTest, ListCacheNamesFollowListUrl) {
    WriteIni(test::EngineIni()
                 .Set(L"Mirefold", L"TempPath", L"cache")
                 .Set(L"UPDATEINFO", L"ListURL", L"http://h/a/update.xml"));
    const std::wstring name = ListNameHash(L"http://h/a/update.xml9999999999");
    EXPECT_EQ(state().paths.ListCacheName(), name);
    const std::wstring base = folder().path() + L"\\cache\\" + name;
    EXPECT_EQ(state().paths.ListCacheBase(), base);
    EXPECT_EQ(state().paths.ListFile(), base + L".xml");
    EXPECT_EQ(state().paths.SavedListFile(), base + L".lst");
    EXPECT_EQ(state().paths.PackageFile(), base + L".bin");
    EXPECT_EQ(state().paths.QuickCheckCopy(), base + L".xml.xml");
    EXPECT_EQ(MainListFileOf(state().paths.ListFile()), base + L".xml.main.xml");
    // What emptying the temporary files deletes: not the saved list.
    EXPECT_EQ(state().paths.ListCacheFiles(),
              (std::vector<std::wstring>{base + L".xml.xml", base + L".xml", base + L".bin", base + L".ini"}));
}

TEST_F(PathsTest, MainProgramPath) {
    WriteIni(test::EngineIni().Set(L"APPLICATION", L"Application", L"QB.exe"));
    EXPECT_EQ(state().paths.MainProgramPath(), folder().path() + L"\\QB.exe");
}

TEST_F(PathsTest, OldFilesListIsPurgedWhenEveryFileIsGone) {
    test::WriteFileBytes(folder() / L"old1.dll", "x");
    ::CreateDirectoryW((folder() / L"sub").c_str(), nullptr);
    test::WriteFileBytes(folder() / L"sub\\old2.dll", "x");
    state().paths.RecordOldFile(L"old1.dll");
    state().paths.RecordOldFile(folder() / L"sub\\old2.dll");
    state().paths.RecordOldFile(L"never-existed.dll");
    EXPECT_EQ(test::ReadFileBytes(folder() / L"__oldfiles.lst"),
              "\r\nold1.dll\r\n" + Narrow(folder() / L"sub\\old2.dll") + "\r\nnever-existed.dll");

    state().paths.PurgeOldFiles();
    EXPECT_FALSE(FileExists(folder() / L"old1.dll"));
    EXPECT_FALSE(FileExists(folder() / L"sub\\old2.dll"));
    EXPECT_FALSE(FileExists(folder() / L"__oldfiles.lst"));
}

TEST_F(PathsTest, OldFilesListStaysWhileAFileIsLocked) {
    const std::wstring locked = folder() / L"locked.dll";
    test::WriteFileBytes(locked, "x");
    state().paths.RecordOldFile(L"locked.dll");
    {
        UniqueFile hold(
            ::CreateFileW(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(hold);
        state().paths.PurgeOldFiles();
        EXPECT_TRUE(FileExists(folder() / L"__oldfiles.lst"));
    }
    state().paths.PurgeOldFiles();
    EXPECT_FALSE(FileExists(locked));
    EXPECT_FALSE(FileExists(folder() / L"__oldfiles.lst"));
}

TEST_F(PathsTest, ReplaceFileMovesIntoPlace) {
    test::WriteFileBytes(folder() / L"new_", "new");
    test::WriteFileBytes(folder() / L"target", "old");
    ::SetFileAttributesW((folder() / L"target").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(ReplaceFileWithRetry(folder() / L"new_", folder() / L"target", 3, 10));
    EXPECT_EQ(test::ReadFileBytes(folder() / L"target"), "new");
    EXPECT_FALSE(FileExists(folder() / L"new_"));
    EXPECT_FALSE(ReplaceFileWithRetry(folder() / L"missing", folder() / L"target", 3, 10));
    EXPECT_EQ(test::ReadFileBytes(folder() / L"target"), "new");
}

TEST_F(PathsTest, ReplaceFileGivesUpOnALockedTarget) {
    test::WriteFileBytes(folder() / L"new_", "new");
    test::WriteFileBytes(folder() / L"busy", "old");
    UniqueFile hold(::CreateFileW((folder() / L"busy").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  0, nullptr));
    EXPECT_FALSE(ReplaceFileWithRetry(folder() / L"new_", folder() / L"busy", 2, 10));
    EXPECT_TRUE(FileExists(folder() / L"new_"));  // the download is kept
}

TEST_F(PathsTest, RemoveTreeRemovesEverything) {
    const std::wstring root = folder() / L"tree";
    CreateFolderTree(root + L"\\a\\b\\c");
    test::WriteFileBytes(root + L"\\a\\b\\c\\f.txt", "x");
    test::WriteFileBytes(root + L"\\ro.txt", "x");
    ::SetFileAttributesW((root + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    RemoveTree(root);
    EXPECT_FALSE(FolderExists(root));
}

}  // namespace
}  // namespace mf
