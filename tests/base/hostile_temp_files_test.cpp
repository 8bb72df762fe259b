// Files that somebody else placed in the temporary folder, which the engine
// (often elevated) cleans up: removing a tree must never reach through a
// link into files outside it.
#include <gtest/gtest.h>

#include "base/confined_folder.h"
#include "base/files.h"
#include "base/planted_links.h"
#include "base/strings.h"
#include "support/test_support.h"

namespace mf {
namespace {

class RemoveTreeWithLinks : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(::CreateDirectoryW((outside_ / L"victim").c_str(), nullptr));
        ASSERT_TRUE(test::WriteFileBytes(outside_ / L"victim\\precious.txt", "keep me"));
        ASSERT_TRUE(test::WriteFileBytes(outside_ / L"precious-file.txt", "keep me too"));
        ASSERT_TRUE(::CreateDirectoryW((temp_ / L"cache").c_str(), nullptr));
        ASSERT_TRUE(test::WriteFileBytes(temp_ / L"cache\\part.bin", "part"));
    }
    void ExpectVictimsIntact() {
        EXPECT_EQ(test::ReadFileBytes(outside_ / L"victim\\precious.txt"), "keep me");
        EXPECT_EQ(test::ReadFileBytes(outside_ / L"precious-file.txt"), "keep me too");
    }

    test::TempFolder outside_;  // somebody else's files
    test::TempFolder temp_;     // the engine's temporary folder
};

TEST_F(RemoveTreeWithLinks, LinksInsideAreNeverFollowed) {
    const std::wstring cache = temp_ / L"cache";
    ASSERT_TRUE(test::MakeLink(outside_ / L"victim", cache + L"\\linked-folder", true));
    if (!test::MakeLink(outside_ / L"precious-file.txt", cache + L"\\linked-file.txt", false))
        ADD_FAILURE() << "no file link could be made";
    ASSERT_NE(::GetFileAttributesW((cache + L"\\linked-folder\\precious.txt").c_str()), INVALID_FILE_ATTRIBUTES);

    RemoveTree(cache);

    ExpectVictimsIntact();
    // The engine's own files went.
    EXPECT_EQ(::GetFileAttributesW((cache + L"\\part.bin").c_str()), INVALID_FILE_ATTRIBUTES);
    if (!test::RunningUnderWine()) {
        // Windows removes a link itself; Wine cannot, so there the link and
        // its folder stay, which is the safe way to fail.
        EXPECT_EQ(::GetFileAttributesW(cache.c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

// Links at a file's name, a folder's name, and one that points nowhere:
// they go as links (Windows), or the folder is put aside with them and made
// anew (Wine, where no call reaches a Unix symbolic link itself). Either way
// the names are free again and nothing outside is touched.
TEST_F(RemoveTreeWithLinks, PlantedLinksGoAndTheFolderStaysUsable) {
    const std::wstring cache = temp_ / L"cache";
    ASSERT_TRUE(::CreateDirectoryW((cache + L"\\sub").c_str(), nullptr));
    ASSERT_TRUE(test::MakeLink(outside_ / L"victim", cache + L"\\data", true));
    ASSERT_TRUE(test::MakeLink(outside_ / L"precious-file.txt", cache + L"\\sub\\a.txt_", false));
    const LinkSweep sweep = ClearPlantedLinks(cache);

    ExpectVictimsIntact();
    EXPECT_EQ(test::NamesIn(outside_.path()), (std::vector<std::wstring>{L"precious-file.txt", L"victim"}));
    EXPECT_EQ(sweep, test::RunningUnderWine() ? LinkSweep::FolderRenewed : LinkSweep::LinksRemoved);
    for (const wchar_t* name : {L"\\data", L"\\sub\\a.txt_"})
        EXPECT_EQ(::GetFileAttributesW((cache + name).c_str()), INVALID_FILE_ATTRIBUTES) << Narrow(name);
    EXPECT_TRUE(FolderExists(cache));
    EXPECT_EQ(ClearPlantedLinks(cache), LinkSweep::Clean);
    // The engine's own file stays where links could be removed.
    EXPECT_EQ(FileExists(cache + L"\\part.bin"), !test::RunningUnderWine());
}

TEST_F(RemoveTreeWithLinks, APlainTreeIsLeftAsItIs) {
    const std::wstring cache = temp_ / L"cache";
    ASSERT_TRUE(::CreateDirectoryW((cache + L"\\sub").c_str(), nullptr));
    ASSERT_TRUE(test::WriteFileBytes(cache + L"\\sub\\b.txt_", "pending"));
    EXPECT_EQ(ClearPlantedLinks(cache), LinkSweep::Clean);
    EXPECT_EQ(test::ReadFileBytes(cache + L"\\sub\\b.txt_"), "pending");
    EXPECT_EQ(test::ReadFileBytes(cache + L"\\part.bin"), "part");
    EXPECT_EQ(ClearPlantedLinks(temp_ / L"missing"), LinkSweep::Clean);
}

TEST_F(RemoveTreeWithLinks, TopFolderThatIsALinkIsRefused) {
    const std::wstring top = temp_ / L"ABCD-123456";
    ASSERT_TRUE(test::MakeLink(outside_ / L"victim", top, true));
    EXPECT_FALSE(RemoveTree(top));
    ExpectVictimsIntact();
}

TEST_F(RemoveTreeWithLinks, PlainTreeGoesWhole) {
    const std::wstring cache = temp_ / L"cache";
    ASSERT_TRUE(::CreateDirectoryW((cache + L"\\deep").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((cache + L"\\deep\\deeper").c_str(), nullptr));
    ASSERT_TRUE(test::WriteFileBytes(cache + L"\\deep\\deeper\\locked.dat", "x"));
    ::SetFileAttributesW((cache + L"\\deep\\deeper\\locked.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesW((cache + L"\\deep").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(RemoveTree(cache));
    EXPECT_EQ(::GetFileAttributesW(cache.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(RemoveTree(cache));  // nothing there: nothing to do
}

// Deleting a file by its name deletes the entry under that name: a link goes
// as a link, and where the system cannot remove a link without what it
// points to (Wine), it stays. The file it points to is never touched.
TEST_F(RemoveTreeWithLinks, DeletingALinkNeverDeletesItsTarget) {
    const std::wstring cache = temp_ / L"cache";
    ASSERT_TRUE(test::MakeLink(outside_ / L"precious-file.txt", cache + L"\\linked-file.txt", false));
    DeleteFileForce(cache + L"\\linked-file.txt");
    ExpectVictimsIntact();
    // An ordinary file (read-only too) still goes.
    ::SetFileAttributesW((cache + L"\\part.bin").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(DeleteFileForce(cache + L"\\part.bin"));
    EXPECT_EQ(::GetFileAttributesW((cache + L"\\part.bin").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(DeleteFileForce(cache + L"\\never-there.bin"));
}

// The download folder as the engine opens it: refused when it is a link,
// and every folder below it made and held only as a plain folder there.
TEST_F(RemoveTreeWithLinks, ConfinedFolderRefusesLinks) {
    const std::wstring top = temp_ / L"ABCD-123456";
    ASSERT_TRUE(test::MakeLink(outside_ / L"victim", top, true));
    ConfinedFolder linked;
    EXPECT_FALSE(linked.Open(top));

    const std::wstring cache = temp_ / L"cache";
    ConfinedFolder folder;
    ASSERT_TRUE(folder.Open(cache + L"\\"));
    ASSERT_TRUE(test::MakeLink(outside_ / L"victim", cache + L"\\linked", true));
    ASSERT_TRUE(test::MakeLink(outside_ / L"precious-file.txt", cache + L"\\file.txt_", false));
    EXPECT_FALSE(folder.HoldFoldersOf(cache + L"\\linked\\a.dll"));
    EXPECT_FALSE(folder.HoldFoldersOf(cache + L"\\linked\\deeper\\a.dll"));
    EXPECT_FALSE(FolderExists(outside_ / L"victim\\deeper"));
    EXPECT_FALSE(folder.HoldFoldersOf(outside_ / L"victim\\a.dll"));
    EXPECT_FALSE(folder.HoldFoldersOf(cache + L"\\sub\\..\\..\\a.dll"));
    EXPECT_TRUE(folder.HoldFoldersOf(cache + L"\\new\\deeper\\a.dll"));
    EXPECT_TRUE(FolderExists(cache + L"\\new\\deeper"));
    EXPECT_FALSE(folder.HoldsPlainFile(cache + L"\\file.txt_"));
    EXPECT_FALSE(folder.HoldsPlainFile(cache + L"\\linked\\precious.txt"));
    EXPECT_TRUE(folder.HoldsPlainFile(cache + L"\\part.bin"));
    ExpectVictimsIntact();
}

}  // namespace
}  // namespace mf
