// The temporary download folder is the user's, and the engine often runs
// elevated: links planted there (a junction or symbolic link below it, at
// the name of a file the phase writes or deletes, or the folder itself
// being one) must never make it write or delete anything elsewhere. The
// links are made as somebody who can write the folder would make them
// (test::MakeLink: under Wine a Unix symbolic link, which Wine shows as the
// file or folder it points to).
#include <gtest/gtest.h>

#include <algorithm>

#include "apply/download_phase.h"
#include "base/confined_folder.h"
#include "base/files.h"
#include "base/md5.h"
#include "base/path_text.h"
#include "base/strings.h"
#include "download_test_support.h"
#include "engine/process_state.h"
#include "install_fixture.h"
#include "support/test_support.h"

namespace mf {
namespace {

using test::NamesIn;

class DownloadFolderLinks : public test::DownloadFixture {
protected:
    DownloadFolderLinks() {
        // One stream per file: the download then writes the file under its
        // own name (the zip variant), where a link may stand.
        state().fileConnections = 1;
    }

    [[nodiscard]] std::wstring Folder() { return state().paths.ListCacheBase(); }
    void Victim(const std::wstring& name) { ASSERT_TRUE(test::WriteFileBytes(outside_ / name, "keep me")); }
    [[nodiscard]] std::string VictimBytes(const std::wstring& name) const {
        return FileExists(outside_ / name) ? test::ReadFileBytes(outside_ / name) : "<gone>";
    }

    test::TempFolder outside_;  // somebody else's files
};

TEST_F(DownloadFolderLinks, FolderLinkInsideIsNeverWrittenThrough) {
    test::ServedTree tree(L"linked-folder");
    Use(tree);
    Add(L"bin\\app.exe");
    Victim(L"app.exe");
    ASSERT_TRUE(CreateFolderTree(Folder()));
    ASSERT_TRUE(test::MakeLink(outside_.path(), Folder() + L"\\bin", true));

    RunDownloadPhase(nullptr);

    // The link went (or the folder was renewed without it) and the file was
    // fetched into the download folder, never through the link.
    EXPECT_EQ(VictimBytes(L"app.exe"), "keep me");
    EXPECT_EQ(NamesIn(outside_.path()), std::vector<std::wstring>{L"app.exe"});
    EXPECT_EQ(state().updateList.Status(), UpdateStatus::DownloadOk);
}

TEST_F(DownloadFolderLinks, FileLinksAreNeverWrittenOrDeletedThrough) {
    test::ServedTree tree(L"linked-files");
    Use(tree);
    // A link where the unpacked file goes (the old file there is deleted
    // first), and one where the zip variant is written.
    Add(L"bin\\app.exe");
    Add(L"bin\\lib.dll");
    Victim(L"unpacked.txt");
    Victim(L"variant.txt");
    ASSERT_TRUE(CreateFolderTree(Folder() + L"\\bin"));
    ASSERT_TRUE(test::MakeLink(outside_ / L"unpacked.txt", Folder() + L"\\bin\\app.exe", false));
    ASSERT_TRUE(test::MakeLink(outside_ / L"variant.txt", Folder() + L"\\bin\\lib.dll._.zip", false));

    RunDownloadPhase(nullptr);

    EXPECT_EQ(VictimBytes(L"unpacked.txt"), "keep me");
    EXPECT_EQ(VictimBytes(L"variant.txt"), "keep me");
    EXPECT_EQ(NamesIn(outside_.path()), (std::vector<std::wstring>{L"unpacked.txt", L"variant.txt"}));
}

// Downloaded in parts, a file is written beside its name (".part") and then
// takes the name: a link planted at that name is neither written through
// nor moved into the folder in its target's place.
TEST_F(DownloadFolderLinks, FileLinksAtTheNameAPartFileTakesAreNeverWrittenThrough) {
    state().fileConnections = 4;
    test::ServedTree tree(L"linked-parts");
    Use(tree);
    Add(L"plain\\only.txt");  // served without a zip variant: fetched in parts
    Add(L"bin\\app.exe");     // unpacked there, or fetched in parts
    Victim(L"only.txt");
    Victim(L"app.exe");
    ASSERT_TRUE(CreateFolderTree(Folder() + L"\\plain"));
    ASSERT_TRUE(CreateFolderTree(Folder() + L"\\bin"));
    ASSERT_TRUE(test::MakeLink(outside_ / L"only.txt", Folder() + L"\\plain\\only.txt", false));
    ASSERT_TRUE(test::MakeLink(outside_ / L"app.exe", Folder() + L"\\bin\\app.exe", false));

    RunDownloadPhase(nullptr);

    EXPECT_EQ(VictimBytes(L"only.txt"), "keep me");
    EXPECT_EQ(VictimBytes(L"app.exe"), "keep me");
    EXPECT_EQ(NamesIn(outside_.path()), (std::vector<std::wstring>{L"app.exe", L"only.txt"}));
    // A pending file, if one was made, holds what the server sent.
    for (const wchar_t* file : {L"plain\\only.txt", L"bin\\app.exe"}) {
        const std::wstring pending = Folder() + L"\\" + file + L"_";
        if (FileExists(pending)) {
            EXPECT_EQ(test::ReadFileBytes(pending), test::ReadFileBytes(tree.File(file)));
        }
    }
}

// Links at a pending file's name, a part file's name and a folder's name
// would fail the file on every later run: the phase removes them as links
// (or, where that is impossible, renews the folder) and fetches the files.
TEST_F(DownloadFolderLinks, LinksAtPendingPartAndFolderNamesAreRemovedAndTheFilesFetched) {
    state().fileConnections = 4;
    test::ServedTree tree(L"linked-names");
    Use(tree);
    Add(L"plain\\only.txt");
    Add(L"bin\\lib.dll");
    Add(L"data\\readme.txt");
    Victim(L"pending.txt");
    Victim(L"part.txt");
    ASSERT_TRUE(CreateFolderTree(outside_ / L"folder"));
    ASSERT_TRUE(CreateFolderTree(Folder() + L"\\plain"));
    ASSERT_TRUE(CreateFolderTree(Folder() + L"\\bin"));
    ASSERT_TRUE(test::MakeLink(outside_ / L"pending.txt", Folder() + L"\\plain\\only.txt_", false));
    ASSERT_TRUE(test::MakeLink(outside_ / L"part.txt", Folder() + L"\\bin\\lib.dll.part", false));
    ASSERT_TRUE(test::MakeLink(outside_ / L"folder", Folder() + L"\\data", true));

    RunDownloadPhase(nullptr);

    EXPECT_EQ(VictimBytes(L"pending.txt"), "keep me");
    EXPECT_EQ(VictimBytes(L"part.txt"), "keep me");
    EXPECT_EQ(NamesIn(outside_ / L"folder"), std::vector<std::wstring>{});
    EXPECT_EQ(state().updateList.Status(), UpdateStatus::DownloadOk);
    ConfinedFolder confined;
    ASSERT_TRUE(confined.Open(Folder()));
    for (const wchar_t* file : {L"plain\\only.txt", L"bin\\lib.dll", L"data\\readme.txt"}) {
        SCOPED_TRACE(Narrow(file));
        EXPECT_TRUE(confined.HoldsPlainFile(Folder() + L"\\" + file + L"_"));
        EXPECT_EQ(test::ReadFileBytes(Folder() + L"\\" + file + L"_"), test::ReadFileBytes(tree.File(file)));
    }
}

TEST_F(DownloadFolderLinks, DownloadFolderThatIsALinkIsRefused) {
    test::ServedTree tree(L"linked-top");
    Use(tree);
    Add(L"bin\\app.exe");
    Add(L"data\\readme.txt");
    ASSERT_TRUE(test::MakeLink(outside_.path(), Folder(), true));

    RunDownloadPhase(nullptr);

    EXPECT_EQ(NamesIn(outside_.path()), std::vector<std::wstring>{});
    EXPECT_EQ(state().updateList.Status(), UpdateStatus::DownloadError);
    EXPECT_EQ(DownloadErrorList().size(), 2u);
}

// Record paths that climb out, or hold ":" without being absolute, never
// become temporary paths; an absolute one is fetched inside the folder,
// never at its own place (the installed file itself, before the local
// check has run).
TEST_F(DownloadFolderLinks, RecordPathsNeverLeaveTheDownloadFolder) {
    test::ServedTree tree(L"climbing");
    Use(tree);
    Victim(L"installed.txt");
    updatefileinfo absolute;
    absolute.path = outside_ / L"installed.txt";
    absolute.url = tree.baseUrl() + L"/data/readme.txt";
    absolute.ver = L"1";
    state().updateList.Add(absolute);
    Add(L"..\\..\\" + LastComponent(outside_.path()) + L"\\climbed.txt");
    Add(L"data\\readme.txt:stream");

    RunDownloadPhase(nullptr);

    EXPECT_EQ(VictimBytes(L"installed.txt"), "keep me");
    EXPECT_EQ(NamesIn(outside_.path()), std::vector<std::wstring>{L"installed.txt"});
    const std::wstring pending = DownloadTempPath(absolute.path) + L"_";
    EXPECT_TRUE(IsInside(pending, Folder())) << Narrow(pending);
    EXPECT_TRUE(FileExists(pending));
    std::vector<unsigned> failed = DownloadErrorList();
    std::sort(failed.begin(), failed.end());
    EXPECT_EQ(failed, (std::vector<unsigned>{1, 2}));
}

// The install phase takes a pending file only as a plain file of the
// download folder, and, for a record whose key is a content digest, only
// with that content: anybody who can write the folder could have swapped
// it since it was fetched.
class PendingFilesAtInstall : public test::InstallFixture {
protected:
    test::TempFolder outside_;
};

TEST_F(PendingFilesAtInstall, LinkInPlaceOfAPendingFileIsNotInstalled) {
    ASSERT_TRUE(test::WriteFileBytes(outside_ / L"secret.txt", "keep me"));
    AddRecord(L"a.txt");
    const std::wstring pending = DownloadFolder() + L"\\a.txt_";
    ASSERT_TRUE(CreateFolderTree(DownloadFolder()));
    ASSERT_TRUE(test::MakeLink(outside_ / L"secret.txt", pending, false));
    RunPhase();
    EXPECT_EQ(test::ReadFileBytes(outside_ / L"secret.txt"), "keep me");
    EXPECT_FALSE(FileExists(Installed(L"a.txt")));
}

// With "UnZip" off the phase moves the download folder's tree into the
// installation: links in it are not followed.
TEST_F(PendingFilesAtInstall, MovedTreeTakesNoLinkedFiles) {
    Reconfigure(CommonIni().Set(L"Mirefold", L"UnZip", L"0"));
    ASSERT_TRUE(test::WriteFileBytes(outside_ / L"secret.txt", "keep me"));
    ASSERT_TRUE(test::WriteFileBytes(outside_ / L"folder\\inner.txt", "keep me too"));
    ASSERT_TRUE(test::WriteFileBytes(DownloadFolder() + L"\\plain.txt", "new"));
    ASSERT_TRUE(test::MakeLink(outside_ / L"secret.txt", DownloadFolder() + L"\\secret.txt", false));
    ASSERT_TRUE(test::MakeLink(outside_ / L"folder", DownloadFolder() + L"\\folder", true));
    RunPhase();
    EXPECT_EQ(test::ReadFileBytes(outside_ / L"secret.txt"), "keep me");
    EXPECT_EQ(test::ReadFileBytes(outside_ / L"folder\\inner.txt"), "keep me too");
    EXPECT_FALSE(FileExists(Installed(L"secret.txt")));
    EXPECT_FALSE(FileExists(Installed(L"folder\\inner.txt")));
    EXPECT_EQ(test::ReadFileBytes(Installed(L"plain.txt")), "new");
}

TEST_F(PendingFilesAtInstall, DigestIsCheckedAgainBeforeInstalling) {
    const std::string good = "the content the list names";
    updatefileinfo& swapped = AddRecord(L"swapped.dll");
    swapped.md5key = true;
    swapped.ver = Md5Of(good.data(), good.size());
    Pending(L"swapped.dll", "somebody else's content");
    updatefileinfo& sound = AddRecord(L"sound.dll");
    sound.md5key = true;
    sound.ver = Md5Of(good.data(), good.size());
    Pending(L"sound.dll", good);
    RunPhase();
    EXPECT_FALSE(FileExists(Installed(L"swapped.dll")));
    EXPECT_EQ(test::ReadFileBytes(Installed(L"sound.dll")), good);
    EXPECT_NE(LogText().find(L"md5 error["), std::wstring::npos) << Narrow(LogText());
}

}  // namespace
}  // namespace mf
