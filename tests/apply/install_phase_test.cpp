// The install phase in an installation folder of the test prefix, with
// pending files made by the tests as the download phase leaves them.
#include <gtest/gtest.h>

#include <objbase.h>
#include <psapi.h>
#include <shlobj.h>

#include <atomic>
#include <thread>

#include "apply/install_phase.h"
#include "apply/install_rules.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/messages.h"
#include "base/strings.h"
#include "check/update_check.h"
#include "install_fixture.h"
#include "list/run_command.h"
#include "support/recording_window.h"

namespace mf {
namespace {

using test::InstallFixture;

std::size_t CountOf(const std::wstring& text, const std::wstring& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

class InstallPhase : public InstallFixture {
protected:
    // The server list as the check downloaded it; its path.
    std::wstring UseDownloadedList();
};

TEST_F(InstallPhase, DestinationListCopiesToTheFirstAndMovesToTheLast) {
    Pending(L"bin\\main.dll", "new");
    AddRecord(L"bin\\main.dll", L"a.dll;sub/b.dll");
    RunPhase();
    // A plain name sits in the folder of the record's own file; a path is
    // taken from the installation folder.
    EXPECT_EQ(test::ReadFileBytes(Installed(L"bin\\a.dll")), "new");
    EXPECT_EQ(test::ReadFileBytes(Installed(L"sub\\b.dll")), "new");
    EXPECT_FALSE(FileExists(Installed(L"bin\\main.dll")));
    EXPECT_FALSE(FileExists(JoinFolderPath(DownloadFolder(), L"bin\\main.dll_")));  // consumed by the move
    EXPECT_FALSE(FileExists(Installed(L"bin\\a.dll.__new")));
    const std::wstring log = LogText();
    EXPECT_NE(log.find(L"update file[" + Installed(L"bin\\a.dll") + L"]"), std::wstring::npos) << Narrow(log);
    EXPECT_NE(log.find(L"update file[" + Installed(L"sub\\b.dll") + L"]"), std::wstring::npos);
}

TEST_F(InstallPhase, RepeatedDestinationIsInstalledOnce) {
    Pending(L"one.dll", "v2");
    AddRecord(L"one.dll", L"x/a.dll|x\\a.dll;x/a.dll");
    RunPhase();
    EXPECT_EQ(test::ReadFileBytes(Installed(L"x\\a.dll")), "v2");
    EXPECT_EQ(CountOf(LogText(), L"update file["), 1u);
}

// A copy to a target other than the last is written under another name and
// renamed: a reader never finds part of the file under the target's name.
TEST_F(InstallPhase, CopyNeverShowsAPartialFileUnderTheTargetName) {
    const std::string big(16 * 1024 * 1024, 'z');
    Pending(L"big.bin", big);
    AddRecord(L"big.bin", L"copy.bin;last.bin");
    const std::wstring copy = Installed(L"copy.bin");
    std::atomic<bool> done{false};
    std::atomic<int> partial{0};
    std::thread watcher([&] {
        while (!done) {
            WIN32_FILE_ATTRIBUTE_DATA data{};
            if (::GetFileAttributesExW(copy.c_str(), GetFileExInfoStandard, &data) &&
                (data.nFileSizeLow != big.size() || data.nFileSizeHigh != 0))
                ++partial;
        }
    });
    RunPhase();
    done = true;
    watcher.join();
    EXPECT_EQ(partial.load(), 0);
    EXPECT_EQ(test::ReadFileBytes(copy).size(), big.size());
    EXPECT_EQ(test::ReadFileBytes(Installed(L"last.bin")).size(), big.size());
}

// A running program's file cannot be deleted but can be renamed. The
// versions are the helper program with a tag appended (the loader ignores
// what follows the image).
std::string TaggedProgram(const std::string& tag) {
    return test::ReadFileBytes(test::HelperPath(L"mirefold-testmark.exe")) + tag;
}

std::string TagOf(const std::wstring& path) {
    const std::string bytes = test::ReadFileBytes(path);
    return bytes.size() < 2 ? bytes : bytes.substr(bytes.size() - 2);
}

// Starts the program and waits until its image is loaded (its modules can
// be listed), so that its file is held from then on.
test::ChildProcess StartHeld(const std::wstring& program) {
    test::ChildProcess child = test::ChildProcess::Start(L"\"" + program + L"\" --delay=120000");
    EXPECT_TRUE(child.started());
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            HMODULE module = nullptr;
            DWORD needed = 0;
            return ::EnumProcessModules(child.handle(), &module, sizeof module, &needed) && needed > 0;
        },
        std::chrono::seconds(10)));
    return child;
}

TEST_F(InstallPhase, TargetInUseIsMovedAsideAndPurgedAtTheNextStart) {
    Install(L"bin\\held.exe", TaggedProgram("v1"));
    const std::wstring target = Installed(L"bin\\held.exe");
    {
        test::ChildProcess first = StartHeld(target);
        ASSERT_FALSE(::DeleteFileW(target.c_str())) << "a running program's file must not be deletable for this test";

        Pending(L"bin\\held.exe", TaggedProgram("v2"));
        AddRecord(L"bin\\held.exe");
        RunPhase();
        EXPECT_EQ(TagOf(target), "v2");
        EXPECT_EQ(TagOf(target + L".__old"), "v1");

        // A second update in the same run: the new file runs too, and
        // ".__old" is taken.
        test::ChildProcess second = StartHeld(target);
        ASSERT_FALSE(::DeleteFileW(target.c_str()));
        Pending(L"bin\\held.exe", TaggedProgram("v3"));
        RunPhase();
        EXPECT_EQ(TagOf(target), "v3");
        EXPECT_EQ(TagOf(target + L".__old0"), "v2");
        EXPECT_NE(LogText().find(L"backup file error[" + target + L"]to[" + target + L".__old]"), std::wstring::npos);

        const std::string list = test::ReadFileBytes(Installed(L"__oldfiles.lst"));
        EXPECT_EQ(list, Narrow(L"\r\n" + target + L".__old\r\n" + target + L".__old0"));
        first.Kill();
        second.Kill();
        EXPECT_TRUE(first.Wait(std::chrono::seconds(10)));
        EXPECT_TRUE(second.Wait(std::chrono::seconds(10)));
    }
    // The next start purges the old-files list (start-up does this before
    // it reads the command line).
    Restart();
    state().paths.PurgeOldFiles();
    EXPECT_FALSE(FileExists(target + L".__old"));
    EXPECT_FALSE(FileExists(target + L".__old0"));
    EXPECT_FALSE(FileExists(Installed(L"__oldfiles.lst")));
    EXPECT_EQ(TagOf(target), "v3");
}

// Every backup name taken: the record fails, its target stays as it was,
// and it counts among the files that could not be updated.
TEST_F(InstallPhase, TargetThatCannotBeMovedAsideFailsTheRecord) {
    Install(L"busy.exe", TaggedProgram("v1"));
    const std::wstring target = Installed(L"busy.exe");
    for (const std::wstring& name : BackupNames(target)) ASSERT_TRUE(CreateFolderTree(name));  // names taken
    test::ChildProcess running = StartHeld(target);
    ASSERT_FALSE(::DeleteFileW(target.c_str()));
    Pending(L"busy.exe", TaggedProgram("v2"));
    AddRecord(L"busy.exe");
    RunPhase();
    EXPECT_EQ(TagOf(target), "v1");
    const std::wstring log = LogText();
    EXPECT_EQ(CountOf(log, L"backup file error[" + target + L"]"), 11u) << Narrow(log);
    EXPECT_NE(log.find(L"1 files could not be updated"), std::wstring::npos);
    running.Kill();
    EXPECT_TRUE(running.Wait(std::chrono::seconds(10)));
}

const char* const kInstalledList =
    "<?xml version=\"1.0\"?>\r\n<update>\r\n"
    "<file path=\"a.dll\" ver=\"1\"/>\r\n<file path=\"b.dll\" ver=\"1\" desname=\"old\\b.dll\"/>\r\n"
    "</update>\r\n";
const char* const kServerList =
    "<?xml version=\"1.0\"?>\r\n<update>\r\n"
    "<file path=\"a.dll\" ver=\"2\"/>\r\n<file path=\"b.dll\" ver=\"2\"/>\r\n<group><file path=\"C.dll\" "
    "ver=\"2\"/></group>\r\n"
    "<run path=\"setup.exe\" param=\"\" wait=\"0\" key=\"k\"/>\r\n"
    "</update>\r\n";

std::wstring InstallPhase::UseDownloadedList() {
    const std::wstring downloaded = state().paths.ListFile();
    EXPECT_TRUE(test::WriteFileBytes(downloaded, kServerList));
    state().updateList.listPath = downloaded;
    return downloaded;
}

// A record that could not be installed is not recorded as installed: the
// installed list keeps its old entry (or none), so the next check fetches it
// again, while the phase still ends with status 12.
TEST_F(InstallPhase, FailedRecordKeepsItsOldEntryAndIsFetchedAgain) {
    Install(L"mirefold.xml", kInstalledList);
    const std::wstring downloaded = state().paths.ListFile();
    ASSERT_TRUE(test::WriteFileBytes(downloaded, kServerList));
    const std::wstring serverCopy = Root() + L"\\server.xml";
    ASSERT_TRUE(test::WriteFileBytes(serverCopy, kServerList));
    state().updateList.listPath = downloaded;

    Pending(L"a.dll", "a2");
    AddRecord(L"a.dll").ver = L"2";
    AddRecord(L"b.dll").ver = L"2";  // no pending file: fails
    AddRecord(L"C.dll").ver = L"2";  // likewise, and the installed list never had it
    RunPhase();

    EXPECT_EQ(test::ReadFileBytes(Installed(L"a.dll")), "a2");
    EXPECT_FALSE(FileExists(downloaded));
    EXPECT_FALSE(FileExists(Installed(L"mirefold.xml.__new")));
    const std::wstring log = LogText();
    EXPECT_NE(log.find(L"2 files could not be updated"), std::wstring::npos) << Narrow(log);
    EXPECT_NE(log.find(L"Update completed,done 3 files"), std::wstring::npos);

    // The next check against the same server list.
    Restart();
    const ComInit com;
    DownLoadList next;
    ReadAndCompareLists(serverCopy, Installed(L"mirefold.xml"), next);
    std::vector<std::wstring> fetched;
    for (const updatefileinfo& record : next.Records()) fetched.push_back(record.path);
    EXPECT_EQ(fetched, (std::vector<std::wstring>{L"b.dll", L"C.dll"}));
    // The kept entry is the old one as it was (its attributes included).
    const std::string placed = test::ReadFileBytes(Installed(L"mirefold.xml"));
    EXPECT_NE(placed.find("old\\b.dll"), std::string::npos) << placed;
    EXPECT_NE(placed.find("setup.exe"), std::string::npos) << placed;
}

TEST_F(InstallPhase, CopyEndedHalfWayIsRemovedAtTheNextStart) {
    UseDownloadedList();
    Pending(L"a.dll", "new");
    AddRecord(L"a.dll", L"a.dll;sub/b.dll");  // copied to a.dll, moved to sub\\b.dll
    RunPhase();
    EXPECT_EQ(test::ReadFileBytes(Installed(L"a.dll")), "new");
    // Had the engine been ended while copying, the copy would stand under
    // its temporary name; the next start removes it.
    Install(L"a.dll.__new", "half");
    Install(L"mirefold.xml.__new", "half");
    Restart();
    state().paths.PurgeOldFiles();
    EXPECT_FALSE(FileExists(Installed(L"a.dll.__new")));
    EXPECT_FALSE(FileExists(Installed(L"mirefold.xml.__new")));
    EXPECT_EQ(test::ReadFileBytes(Installed(L"a.dll")), "new");
}

TEST_F(InstallPhase, NewListIsPutInPlaceWhole) {
    Install(L"mirefold.xml", kInstalledList);
    UseDownloadedList();
    Pending(L"a.dll", "a2");
    AddRecord(L"a.dll").ver = L"2";
    // The download phase fetches nothing for these flags, and they are no
    // failures: otherwise their old entries would stay and every later
    // check would find them again.
    for (const std::int32_t oper : {0x10, 0x20, 0x01000000, 0x10 | OPER_RUN})
        AddRecord(L"flag" + std::to_wstring(oper) + L".dat", L"", oper).ver = L"2";
    RunPhase();
    EXPECT_EQ(test::ReadFileBytes(Installed(L"mirefold.xml")), kServerList);
    EXPECT_EQ(LogText().find(L"could not be updated"), std::wstring::npos);
}

TEST_F(InstallPhase, NewListFoundUnderItsOtherName) {
    // The quick check reads "<name>.xml.xml"; when that is gone, "<name>.xml"
    // is put in place.
    const std::wstring list = state().paths.ListFile();
    state().updateList.listPath = list + L".xml";
    ASSERT_TRUE(test::WriteFileBytes(list, kServerList));
    RunPhase();
    EXPECT_EQ(test::ReadFileBytes(Installed(L"mirefold.xml")), kServerList);
}

TEST_F(InstallPhase, DesktopShortcutTakesItsNameFromConfiguration) {
    Reconfigure(CommonIni().Set(L"APPLICATION", L"LinkName", L"Question Bank"));
    Pending(L"app\\app.exe", "exe");
    AddRecord(L"app\\app.exe").shortcut = L"{desktop}\\{LinkName}";
    RunPhase();
    const std::wstring link = DesktopFolder() + L"\\Question Bank.lnk";
    ASSERT_TRUE(FileExists(link)) << Narrow(LogText());
    const ComInit com;
    ComPtr<IShellLinkW> shellLink;
    ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                             reinterpret_cast<void**>(shellLink.GetAddressOf()))));
    ComPtr<IPersistFile> file;
    ASSERT_TRUE(SUCCEEDED(shellLink.As(&file)));
    ASSERT_TRUE(SUCCEEDED(file->Load(link.c_str(), STGM_READ)));
    wchar_t path[MAX_PATH] = {};
    shellLink->GetPath(path, MAX_PATH, nullptr, 0);
    EXPECT_TRUE(EqualsNoCase(path, Installed(L"app\\app.exe"))) << Narrow(path);
    wchar_t folder[MAX_PATH] = {};
    shellLink->GetWorkingDirectory(folder, MAX_PATH);
    EXPECT_TRUE(EqualsNoCase(folder, Installed(L"app"))) << Narrow(folder);
    EXPECT_NE(LogText().find(L"Create shortcut[" + DesktopFolder() + L"\\Question Bank]..."), std::wstring::npos);
}

TEST_F(InstallPhase, RegistersLibraryFoundWithItsOwnFolderFirstAndUnloadsIt) {
    Pending(L"reg\\mirefold-testreg.dll", test::ReadFileBytes(test::HelperPath(L"mirefold-testreg.dll")));
    Pending(L"reg\\mirefold-testdep.dll", test::ReadFileBytes(test::HelperPath(L"mirefold-testdep.dll")));
    AddRecord(L"reg\\mirefold-testreg.dll", L"", OPER_REG);
    AddRecord(L"reg\\mirefold-testdep.dll", L"", OPER_REG);  // no DllRegisterServer: loaded and unloaded
    RunPhase();
    const std::wstring library = Installed(L"reg\\mirefold-testreg.dll");
    EXPECT_EQ(test::ReadFileBytes(library + L".registered"), "registered 42");
    EXPECT_EQ(::GetModuleHandleW(library.c_str()), nullptr);
    EXPECT_EQ(::GetModuleHandleW(Installed(L"reg\\mirefold-testdep.dll").c_str()), nullptr);
    const std::wstring log = LogText();
    EXPECT_NE(log.find(L"Register file[reg\\mirefold-testreg.dll]"), std::wstring::npos) << Narrow(log);
    EXPECT_NE(log.find(L"Register file[reg\\mirefold-testdep.dll]"), std::wstring::npos);
}

TEST_F(InstallPhase, DeleteWritesItsLineOnlyWhenAFileWasRemoved) {
    Install(L"old.txt", "x");
    AddRecord(L"old.txt", L"", OPER_DEL);
    AddRecord(L"gone.txt", L"", OPER_DEL);
    RunPhase();
    EXPECT_FALSE(FileExists(Installed(L"old.txt")));
    const std::wstring log = LogText();
    EXPECT_NE(log.find(L"Remove file[old.txt]"), std::wstring::npos) << Narrow(log);
    EXPECT_EQ(log.find(L"gone.txt"), std::wstring::npos) << Narrow(log);
}

TEST_F(InstallPhase, RunOfAnXmlFileRunsItsTasks) {
    Pending(L"tasks.xml", "<tasks><path name=\"made\\deep\"/></tasks>");
    AddRecord(L"tasks.xml", L"", OPER_RUN);
    RunPhase();
    EXPECT_TRUE(FolderExists(Installed(L"made\\deep")));
}

TEST_F(InstallPhase, CommandsWaitOnlyWhenTheirFlagSaysSo) {
    InstallHelper(L"mirefold-testmark.exe", L"cmd\\wait.exe");
    InstallHelper(L"mirefold-testmark.exe", L"cmd\\nowait.exe");
    const std::wstring waiting = Installed(L"cmd\\wait.exe");
    const std::wstring notWaiting = Installed(L"cmd\\nowait.exe");
    // In the order of the array (the check reversed the list's order).
    for (const wchar_t* flag : {L"no", L"1", L"y"})
        state().updateList.commands.push_back(
            JoinRunCommand({L"{app}\\cmd\\wait.exe", std::wstring(L"--delay=400 ") + flag, flag, L"k"}));
    for (const wchar_t* flag : {L"0", L""})
        state().updateList.commands.push_back(
            JoinRunCommand({L"{app}\\cmd\\nowait.exe", std::wstring(L"--delay=4000 [") + flag + L"]", flag, L"k"}));
    RunPhase();
    EXPECT_EQ(test::MarkLog(waiting), "--delay=400 no\r\n--delay=400 1\r\n--delay=400 y\r\n");
    EXPECT_EQ(test::MarkLog(notWaiting), "");
    const std::wstring log = LogText();
    EXPECT_NE(log.find(L"Run[" + waiting + L"][--delay=400 no][wait]"), std::wstring::npos) << Narrow(log);
    EXPECT_NE(log.find(L"Run[" + notWaiting + L"][--delay=4000 [0]][nowait]"), std::wstring::npos);
    EXPECT_TRUE(test::WaitUntil([&] { return CountOf(Widen(test::MarkLog(notWaiting)), L"\r\n") == 2; },
                                std::chrono::seconds(20)));
}

TEST_F(InstallPhase, CommandWithAMissingProgramIsLoggedOnly) {
    state().updateList.commands.push_back(JoinRunCommand({L"{app}\\none.exe", L"", L"1", L"k"}));
    RunPhase();
    EXPECT_NE(LogText().find(L"Run[" + Installed(L"none.exe") + L"][wait]"), std::wstring::npos);
}

TEST_F(InstallPhase, UnZipOffMovesTheTemporaryTreeIntoPlace) {
    Reconfigure(CommonIni().Set(L"Mirefold", L"UnZip", L"0"));
    const std::wstring temporary = DownloadFolder();
    ASSERT_TRUE(CreateFolderTree(temporary + L"\\new\\sub"));
    ASSERT_TRUE(test::WriteFileBytes(temporary + L"\\a.txt", "a"));
    ASSERT_TRUE(test::WriteFileBytes(temporary + L"\\new\\sub\\b.txt", "b"));
    ASSERT_TRUE(test::WriteFileBytes(temporary + L"\\keep.txt", "new"));
    Install(L"keep.txt", "installed");
    AddRecord(L"a.txt");
    RunPhase();
    EXPECT_EQ(test::ReadFileBytes(Installed(L"a.txt")), "a");
    EXPECT_EQ(test::ReadFileBytes(Installed(L"new\\sub\\b.txt")), "b");
    EXPECT_FALSE(FolderExists(temporary + L"\\new"));
    // An existing file is never replaced by this move; it stays behind and
    // is logged.
    EXPECT_EQ(test::ReadFileBytes(Installed(L"keep.txt")), "installed");
    EXPECT_NE(LogText().find(L"move file error[" + temporary + L"\\keep.txt]"), std::wstring::npos);
}

TEST_F(InstallPhase, RightsAreGrantedOnlyThroughAnExistingTool) {
    const std::wstring tool = SystemFolder() + L"\\icacls.exe";
    // Switched on, but no tool in the system folder: nothing to start.
    Reconfigure(CommonIni().Set(L"Mirefold", L"icacls", L"1"));
    EXPECT_EQ(RightsTool(), L"");
    Pending(L"a.dll", "a");
    AddRecord(L"a.dll");
    RunPhase();
    EXPECT_FALSE(FileExists(tool + L".log"));

    // With the tool: one grant for the installed file and one for the list.
    ASSERT_TRUE(::CopyFileW(test::HelperPath(L"mirefold-testmark.exe").c_str(), tool.c_str(), FALSE));
    EXPECT_TRUE(EqualsNoCase(RightsTool(), tool));
    Pending(L"a.dll", "a");
    RunPhase();
    const std::string expected = Narrow(L"\"" + Installed(L"a.dll") + L"\" /grant Users:(D,WDAC)", CodePage::Utf8);
    EXPECT_TRUE(test::WaitUntil([&] { return test::MarkLog(tool).find(expected) != std::string::npos; },
                                std::chrono::seconds(20)))
        << test::MarkLog(tool);

    // Switched off: the tool is not used.
    Reconfigure(CommonIni().Set(L"Mirefold", L"icacls", L"0"));
    EXPECT_EQ(RightsTool(), L"");
}

// The owner window follows the phase: message 1041 before every record, the
// status texts, and its parent's Cancel button disabled meanwhile.
TEST_F(InstallPhase, OwnerWindowFollowsThePhase) {
    const HWND parent = ::CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                          nullptr, nullptr, nullptr);
    const HWND cancel = ::CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD, 0, 0, 10, 10, parent,
                                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), nullptr, nullptr);
    test::RecordingWindow owner(test::RecordingWindow::Thread::This, parent);
    ASSERT_NE(owner.window(), nullptr);

    // The statuses, and the Cancel button while the phase runs.
    Reconfigure(CommonIni().Lines(L"UpdateEvent", {L"UpdateCopy=copy", L"UpdateCopyOk=copyok"}));
    std::vector<std::wstring> events;
    bool cancelEnabledInPhase = true;
    state().runFile = [&](const std::wstring& path, const std::wstring&, bool) {
        events.push_back(path);
        cancelEnabledInPhase = ::IsWindowEnabled(cancel) != FALSE;
        return true;
    };
    state().updateList.versionText = L"2.5";
    Pending(L"a.dll", "a");
    Pending(L"b.dll", "b");
    AddRecord(L"a.dll");
    AddRecord(L"b.dll");
    state().updateList.SetStatus(UpdateStatus::CheckLocalOk);
    ASSERT_TRUE(RunInstallPhase(owner.window()));

    EXPECT_EQ(events, (std::vector<std::wstring>{L"copy", L"copyok"}));
    EXPECT_FALSE(cancelEnabledInPhase);
    EXPECT_TRUE(::IsWindowEnabled(cancel));
    std::vector<std::pair<WPARAM, LPARAM>> progress;
    for (const test::RecordedMessage& m : owner.Messages(msg::kRecordProgress))
        progress.emplace_back(m.wParam, m.lParam);
    EXPECT_EQ(progress, (std::vector<std::pair<WPARAM, LPARAM>>{{0, 2}, {1, 2}}));
    const std::vector<std::wstring> expected{L"Copy from temporary directory", L"Copying files[1/2]...",
                                             L"Copying files[2/2]...", L"Do upgrade tasks", L"Clear temp files",
                                             L"Update completed,done 2 files"};
    EXPECT_EQ(owner.StatusTexts(), expected);
    state().config.ClearCache();
    EXPECT_EQ(ReadConfig(L"APPLICATION", L"Ver"), L"2.5");
    ::DestroyWindow(parent);
}

TEST_F(InstallPhase, RunsOnlyAfterTheLocalCheck) {
    Pending(L"a.dll", "a");
    AddRecord(L"a.dll");
    state().updateList.SetStatus(UpdateStatus::DownloadOk);
    EXPECT_FALSE(RunInstallPhase(nullptr));
    EXPECT_EQ(state().updateList.Status(), UpdateStatus::DownloadOk);
    EXPECT_FALSE(FileExists(Installed(L"a.dll")));
}

}  // namespace
}  // namespace mf
