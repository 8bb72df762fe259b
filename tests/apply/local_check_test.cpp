#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <future>

#include "apply/local_check.h"
#include "apply/local_check_support.h"
#include "base/files.h"
#include "base/messages.h"
#include "support/immutable_path.h"
#include "support/test_main_program.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::DenyingFiles;

class LocalCheckTest : public test::LocalCheckFixture {};

bool Holds(const std::vector<std::wstring>& items, const std::wstring& item) {
    return std::find(items.begin(), items.end(), item) != items.end();
}

// Where the writes refused with access denied go: only where the elevated
// relaunch can help, and never in the relaunch itself. The file counts as
// writable every time.
TEST_F(LocalCheckTest, AccessDeniedIsCollectedOnlyWhereTheElevatedRelaunchHelps) {
    struct Case {
        bool elevatedRelaunch;
        bool systemSupportsElevation;
        bool collected;
    };
    const Case cases[] = {{false, true, true}, {false, false, false}, {true, true, false}, {true, false, false}};
    WriteProductConfig(L"");
    const std::wstring missing = InFolder(L"locked-folder\\new.dll");
    const std::wstring existing = InFolder(L"data.txt");
    const std::wstring program = InFolder(L"QBank.exe");
    ASSERT_TRUE(test::WriteFileBytes(existing, "data"));
    ASSERT_TRUE(test::WriteFileBytes(program, "MZ"));
    for (const Case& c : cases) {
        for (const std::wstring& path : {missing, existing, program}) {
            SCOPED_TRACE(testing::Message() << "elevated " << c.elevatedRelaunch << ", elevation "
                                            << c.systemSupportsElevation << ", " << Narrow(path));
            ClearAdministratorFiles();
            state().run.elevatedRelaunch = c.elevatedRelaunch;
            AssumeSystemSupportsElevation(c.systemSupportsElevation);
            auto files = UseDenyingFiles();
            files->Deny(path);
            EXPECT_TRUE(IsFileWritable(path));
            EXPECT_EQ(HasAdministratorFiles(), c.collected);
            if (c.collected) {
                EXPECT_EQ(AdministratorFiles(), std::vector<std::wstring>{path});
            }
        }
    }
    EXPECT_TRUE(FileExists(existing));
    EXPECT_TRUE(FileExists(program));
}

TEST_F(LocalCheckTest, TheElevatedRelaunchForgetsPathsCollectedBefore) {
    WriteProductConfig(L"");
    auto files = UseDenyingFiles();
    files->Deny(InFolder(L"a.txt"));
    EXPECT_TRUE(IsFileWritable(InFolder(L"a.txt")));
    ASSERT_TRUE(HasAdministratorFiles());
    state().run.elevatedRelaunch = true;
    EXPECT_TRUE(IsFileWritable(InFolder(L"b.txt")));
    EXPECT_FALSE(HasAdministratorFiles());
}

TEST_F(LocalCheckTest, AMissingFileIsNotCreatedOncePathsWereRefused) {
    WriteProductConfig(L"");
    auto files = UseDenyingFiles();
    files->Deny(InFolder(L"a.txt"));
    EXPECT_TRUE(IsFileWritable(InFolder(L"a.txt")));
    EXPECT_TRUE(IsFileWritable(InFolder(L"b.txt")));
    EXPECT_EQ(files->created, std::vector<std::wstring>{InFolder(L"a.txt")});
}

TEST_F(LocalCheckTest, AnInstallationFolderThatRefusesWritingAsksForAdministratorRights) {
    WriteProductConfig(L"QBank.exe");
    AddRecord(L"bin\\core.dll");
    AddRecord(L"data\\bank.db");
    ReadyForLocalCheck();
    auto files = UseDenyingFiles();
    files->Deny(InFolder(L"mirefold.ini"));
    test::RecordingWindow owner(test::RecordingWindow::Thread::This);

    EXPECT_FALSE(CheckLocalFiles(owner.window()));
    EXPECT_EQ(Status(), UpdateStatus::CheckLocalError);
    EXPECT_TRUE(HasAdministratorFiles());
    EXPECT_EQ(AdministratorFiles(), std::vector<std::wstring>{InFolder(L"mirefold.ini")});
    // No file examined, no main program looked for, no question asked.
    EXPECT_EQ(files->Tested(), std::vector<std::wstring>{InFolder(L"mirefold.ini")});
    EXPECT_TRUE(owner.Shown(L"request administrator privileges to continue"));
    EXPECT_TRUE(Logged(L"request administrator privileges to continue"));
    EXPECT_FALSE(Logged(L"Check locked file..."));
    EXPECT_FALSE(Logged(L"The main program has"));
}

TEST_F(LocalCheckTest, TheElevatedRelaunchGoesOnWhereTheOtherInstanceWasRefused) {
    WriteProductConfig(L"");
    AddRecord(L"bin\\core.dll");
    ReadyForLocalCheck();
    state().run.elevatedRelaunch = true;
    auto files = UseDenyingFiles();
    files->Deny(InFolder(L"mirefold.ini"));
    EXPECT_TRUE(CheckLocalFiles(nullptr));
    EXPECT_EQ(Status(), UpdateStatus::CheckLocalOk);
    EXPECT_FALSE(HasAdministratorFiles());
    EXPECT_TRUE(Holds(files->Tested(), InFolder(L"bin\\core.dll")));
}

TEST_F(LocalCheckTest, ExaminingStopsAtTheFirstTargetRefused) {
    WriteProductConfig(L"");
    AddRecord(L"a.txt");
    AddRecord(L"b.txt");
    AddRecord(L"c.txt");
    auto files = UseDenyingFiles();
    files->Deny(InFolder(L"b.txt"));
    test::RecordingWindow owner(test::RecordingWindow::Thread::This);
    // Access denied does not make a file locked.
    EXPECT_TRUE(CheckLockedFiles(owner.window(), false));
    EXPECT_TRUE(Holds(files->Tested(), InFolder(L"b.txt")));
    EXPECT_FALSE(Holds(files->Tested(), InFolder(L"c.txt")));
    EXPECT_TRUE(owner.Shown(L"Examining the 2 files,total of 3..."));
    EXPECT_FALSE(owner.Shown(L"Examining the 3 files,total of 3..."));
    EXPECT_TRUE(Logged(L"No locked files"));
    EXPECT_FALSE(Logged(L"Examining the"));  // shown, not logged
}

TEST_F(LocalCheckTest, RunsOnlyAfterTheDownloadPhase) {
    WriteProductConfig(L"");
    AddRecord(L"a.txt");
    for (const UpdateStatus status : {UpdateStatus::None, UpdateStatus::CheckRemoteOk, UpdateStatus::DownloadError,
                                      UpdateStatus::CheckLocalOk, UpdateStatus::CopyOk}) {
        state().updateList.SetStatus(status);
        EXPECT_FALSE(CheckLocalFiles(nullptr));
        EXPECT_EQ(Status(), status);
    }
    EXPECT_FALSE(Logged(L"Check locked file..."));
    state().updateList.SetStatus(UpdateStatus::CheckLocal);
    EXPECT_TRUE(CheckLocalFiles(nullptr));
}

// Targets that exist, that do not exist yet (also in a folder that does
// not exist yet), several targets of one record, and a record to delete
// whose file is held open: nothing is locked.
TEST_F(LocalCheckTest, WritableTargetsGiveStatusNineAndMissingOnesAreTestedByCreatingThem) {
    WriteProductConfig(L"");
    ASSERT_TRUE(test::WriteFileBytes(InFolder(L"old.txt"), "old"));
    ASSERT_TRUE(test::WriteFileBytes(InFolder(L"gone.txt"), "gone"));
    ::SetFileAttributesW(InFolder(L"old.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    AddRecord(L"old.txt");
    AddRecord(L"new.txt");
    AddRecord(L"sub\\folder\\new.dll");
    AddRecord(L"copy.txt", L"one.txt,two\\two.txt");
    AddRecord(L"gone.txt", L"", OPER_DEL);
    test::TestMainProgram holder(L"--hold \"" + InFolder(L"gone.txt") + L"\"");
    ASSERT_TRUE(holder.ready());
    ReadyForLocalCheck();
    auto files = UseDenyingFiles();

    EXPECT_TRUE(CheckLocalFiles(nullptr));
    EXPECT_EQ(Status(), UpdateStatus::CheckLocalOk);
    EXPECT_TRUE(Logged(L"No locked files"));
    for (const wchar_t* name : {L"new.txt", L"sub\\folder\\new.dll", L"one.txt", L"two\\two.txt"}) {
        EXPECT_TRUE(Holds(files->created, InFolder(name))) << Narrow(name);
        EXPECT_FALSE(FileExists(InFolder(name))) << Narrow(name);
    }
    EXPECT_FALSE(Holds(files->Tested(), InFolder(L"gone.txt")));
    EXPECT_EQ(test::ReadFileBytes(InFolder(L"old.txt")), "old");
}

// The same rules against the file system itself: under Wine an immutable
// file or folder refuses every write with access denied, as a file the
// user lacks the rights for does on Windows.
TEST_F(LocalCheckTest, FilesTheUserMayNotWriteAreCollectedNotLocked) {
    WriteProductConfig(L"");
    ASSERT_TRUE(CreateFolderTree(InFolder(L"sealed")));
    const std::wstring text = InFolder(L"data.txt");
    const std::wstring program = InFolder(L"QBank.exe");
    ASSERT_TRUE(test::WriteFileBytes(text, "data"));
    ASSERT_TRUE(test::WriteFileBytes(program, "MZ"));
    test::ImmutablePath sealedText(text);
    if (!sealedText.made()) GTEST_SKIP() << Narrow(sealedText.reason());
    test::ImmutablePath sealedProgram(program);
    test::ImmutablePath sealedFolder(InFolder(L"sealed"));
    ASSERT_TRUE(sealedProgram.made()) << Narrow(sealedProgram.reason());
    ASSERT_TRUE(sealedFolder.made()) << Narrow(sealedFolder.reason());

    for (const std::wstring& path : {text, program, InFolder(L"sealed\\new.dll")}) {
        SCOPED_TRACE(Narrow(path));
        ClearAdministratorFiles();
        EXPECT_TRUE(IsFileWritable(path));
        EXPECT_EQ(AdministratorFiles(), std::vector<std::wstring>{path});
    }
    EXPECT_FALSE(FileExists(program + L".__test"));

    // The phase: the first refused target stops the examination and asks
    // for administrator rights.
    ClearAdministratorFiles();
    AddRecord(L"data.txt");
    AddRecord(L"other.txt");
    ReadyForLocalCheck();
    EXPECT_FALSE(CheckLocalFiles(nullptr));
    EXPECT_EQ(Status(), UpdateStatus::CheckLocalError);
    EXPECT_EQ(AdministratorFiles(), std::vector<std::wstring>{text});
    EXPECT_TRUE(Logged(L"request administrator privileges to continue"));
}

// A window pair that plays the update center: the dialog, its parent, and
// the dialog's file list.
class UpdateCenterWindows {
public:
    UpdateCenterWindows() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&controls);
        const HINSTANCE instance = ::GetModuleHandleW(nullptr);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ::DefWindowProcW;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = L"MirefoldTestUpdateCenter";
        ::RegisterClassW(&windowClass);
        parent = ::CreateWindowExW(0, windowClass.lpszClassName, L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300,
                                   nullptr, nullptr, instance, nullptr);
        dialog = ::CreateWindowExW(0, windowClass.lpszClassName, L"dialog", WS_CHILD, 0, 0, 200, 200, parent, nullptr,
                                   instance, nullptr);
        list = ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 100, 100, dialog, nullptr,
                                 instance, nullptr);
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH;
        column.cx = 80;
        ::SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        wchar_t text[] = L"file";
        item.pszText = text;
        ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    ~UpdateCenterWindows() { ::DestroyWindow(parent); }

    // The messages posted to the parent so far.
    std::vector<MSG> Posted() const {
        std::vector<MSG> posted;
        MSG message;
        while (::PeekMessageW(&message, parent, 0, 0, PM_REMOVE)) {
            if (message.message == msg::kPhaseResult || message.message == WM_COMMAND) posted.push_back(message);
        }
        return posted;
    }

    HWND parent = nullptr;
    HWND dialog = nullptr;
    HWND list = nullptr;
};

TEST_F(LocalCheckTest, TheUpdateCenterLearnsTheResultAndIsToldToGoOnWhenItAsked) {
    WriteProductConfig(L"");
    AddRecord(L"a.txt");
    for (const bool goOn : {false, true}) {
        SCOPED_TRACE(goOn ? "asked to go on" : "not asked");
        UpdateCenterWindows windows;
        ASSERT_EQ(::SendMessageW(windows.list, LVM_GETITEMCOUNT, 0, 0), 1);
        ReadyForLocalCheck();
        EXPECT_TRUE(CheckLocalFiles(UpdateCenterTarget{windows.dialog, windows.list, goOn}));
        EXPECT_EQ(::SendMessageW(windows.list, LVM_GETITEMCOUNT, 0, 0), 0);
        const std::vector<MSG> posted = windows.Posted();
        ASSERT_EQ(posted.size(), goOn ? 2u : 1u);
        EXPECT_EQ(posted[0].message, msg::kPhaseResult);
        EXPECT_EQ(posted[0].lParam, 3);
        if (goOn) {
            EXPECT_EQ(posted[1].message, static_cast<UINT>(WM_COMMAND));
            EXPECT_EQ(LOWORD(posted[1].wParam), msg::kUpdateCenterContinue);
        }
    }
}

TEST_F(LocalCheckTest, TheUpdateCenterNeverAsksAboutALockedFile) {
    WriteProductConfig(L"");
    AddRecord(L"held.txt");
    test::TestMainProgram holder(L"--hold \"" + InFolder(L"held.txt") + L"\"");
    ASSERT_TRUE(holder.ready());
    UpdateCenterWindows windows;
    ReadyForLocalCheck();
    // A question would block here until the test's time-out.
    EXPECT_FALSE(CheckLocalFiles(UpdateCenterTarget{windows.dialog, windows.list, true}));
    EXPECT_EQ(Status(), UpdateStatus::CheckLocalError);
    const std::vector<MSG> posted = windows.Posted();
    ASSERT_EQ(posted.size(), 1u);  // not told to go on
    EXPECT_EQ(posted[0].lParam, 3);
}

}  // namespace
}  // namespace mf
