#include "apply/install_phase.h"

#include <shellapi.h>

#include <vector>

#include "apply/download_rules.h"
#include "apply/install_file.h"
#include "apply/install_rules.h"
#include "apply/installed_list.h"
#include "apply/run_file.h"
#include "apply/shortcut.h"
#include "base/dynamic_export.h"
#include "base/confined_folder.h"
#include "base/files.h"
#include "base/md5.h"
#include "base/handles.h"
#include "base/messages.h"
#include "base/run_program.h"
#include "base/signing.h"
#include "base/strings.h"
#include "engine/installed_release.h"
#include "engine/process_state.h"
#include "engine/status.h"
#include "engine/targets.h"
#include "net/fetch_file.h"
#include "net/list_signature.h"

namespace mf {

namespace {

void Show(HWND owner, const std::wstring& text) {
    if (owner != nullptr) Process().notifications.SendStatusText(owner, text);
}

void ShowAndLogLine(HWND owner, const std::wstring& text) { ShowAndLogWith(owner, 0, text); }

// The Cancel button of the owner's parent, disabled for the phase.
class CancelDisabled {
public:
    explicit CancelDisabled(HWND owner) {
        const HWND parent = owner != nullptr ? ::GetParent(owner) : nullptr;
        cancel_ = parent != nullptr ? ::GetDlgItem(parent, IDCANCEL) : nullptr;
        if (cancel_ != nullptr) ::EnableWindow(cancel_, FALSE);
    }
    ~CancelDisabled() {
        if (cancel_ != nullptr) ::EnableWindow(cancel_, TRUE);
    }
    CancelDisabled(const CancelDisabled&) = delete;
    CancelDisabled& operator=(const CancelDisabled&) = delete;

private:
    HWND cancel_ = nullptr;
};

// Whether a pending file may be installed. The download folder is the
// user's, and this phase often runs elevated: what stands under the pending
// name must be a plain file there (not a link to a file elsewhere), and for
// a record whose key is a content digest (MD5, SHA-256) it must still have
// that content.
// A missing pending file passes: installing it then fails without a line.
bool PendingFileSound(const ConfinedFolder& folder, const std::wstring& source, const updatefileinfo& record) {
    const std::wstring pending = source + L"_";
    if (::GetFileAttributesW(pending.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    if (!folder.HoldsPlainFile(pending)) {
        WriteLog(TranslateFormat(L"Path refused[%s]", pending));
        return false;
    }
    std::wstring digest;
    if (record.md5key && !(Md5OfFile(pending, &digest) && Md5Matches(digest, record.ver))) {
        WriteLog(TranslateFormat(L"md5 error[%s]", pending));
        DeleteFileForce(pending);
        return false;
    }
    if (!record.sha256.empty() && !Sha256OfPathMatches(pending, record.sha256)) {
        WriteLog(TranslateFormat(L"sha256 error[%s]", pending));
        DeleteFileForce(pending);
        return false;
    }
    return true;
}

// Installs the file of every record that brings one (not those to delete,
// nor those the download phase skips); returns the paths of the records
// that could not be installed.
std::vector<std::wstring> CopyRecords(HWND owner, const std::vector<updatefileinfo>& records,
                                      const std::wstring& temporaryFolder, const std::wstring& tool) {
    std::vector<std::wstring> failed;
    ConfinedFolder folder;
    if (!folder.Open(temporaryFolder)) WriteLog(TranslateFormat(L"Path refused[%s]", temporaryFolder));
    const int n = static_cast<int>(records.size());
    for (int i = 0; i < n; ++i) {
        if (owner != nullptr) ::SendMessageW(owner, msg::kRecordProgress, static_cast<WPARAM>(i), n);
        ::Sleep(1);
        Show(owner, TranslateFormat(L"Copying files[%d/%d]...", i + 1, n));
        const updatefileinfo& record = records[static_cast<std::size_t>(i)];
        if (!BringsFile(record.oper)) continue;
        const std::vector<std::wstring> targets = ExpandTargets(record.path, record.desname);
        const std::wstring source = DownloadPathWith(temporaryFolder, record.path);
        if (targets.empty() || source.empty()) {
            // A path that climbs out of the installation or the download
            // folder, or names one of the engine's own files.
            WriteLog(TranslateFormat(L"Path refused[%s]", record.path));
            failed.push_back(record.path);
            continue;
        }
        const HeldFolders held = folder.HoldFoldersOf(source);
        if (!held || !PendingFileSound(folder, source, record) || !InstallFile(source, targets)) {
            failed.push_back(record.path);
        }
        // Granted once the new file is in place: before, the grant could
        // land on the file being replaced.
        for (const std::wstring& target : targets) GrantUsersRights(tool, target);
        const std::wstring icon =
            record.shortcuticon.empty() ? std::wstring() : Process().paths.ResolveInside(record.shortcuticon);
        CreateRecordShortcuts(targets.front(), icon, record.iconindex, ExpandList(record.path, record.shortcut),
                              owner);
    }
    return failed;
}

// Registers, deletes or runs what the records' flags ask for; true when a
// record needs the computer restarted.
bool RunRecordOperations(HWND owner, const std::vector<updatefileinfo>& records, const std::wstring& installFolder) {
    bool restart = false;
    for (const updatefileinfo& record : records) {
        ::Sleep(1);
        if (record.oper == 0) continue;
        if ((record.oper & OPER_BOOT) != 0) restart = true;
        const std::vector<std::wstring> targets = ExpandTargets(record.path, record.desname);
        for (std::size_t j = 0; j < targets.size(); ++j) {
            const std::wstring& target = targets[j];
            const std::wstring shown = DisplayPath(target, installFolder);
            if ((record.oper & OPER_REG) != 0 && j == 0) {
                ShowAndLogLine(owner, Translate(L"Register file") + L"[" + shown + L"]");
                RegisterLibrary(target);
            }
            if ((record.oper & OPER_DEL) != 0) {
                if (DeleteFileForce(target)) ShowAndLogLine(owner, Translate(L"Remove file") + L"[" + shown + L"]");
            } else if ((record.oper & OPER_RUN) != 0) {
                RunFile(target, L"", L"", owner, 0, false);
            }
        }
    }
    return restart;
}

// The downloaded list becomes the installed list; when it is gone, its
// other name is tried, and then it is fetched again (and, where lists must
// be signed, taken only with its signature). False when none was placed.
bool PutNewListInPlace(const std::wstring& installedList, const std::vector<std::wstring>& failed) {
    ProcessState& state = Process();
    const std::wstring list = state.updateList.listPath.empty() ? state.paths.ListFile() : state.updateList.listPath;
    if (PlaceUpdateList(list, installedList, failed)) return true;
    if (PlaceUpdateList(SecondListPath(list), installedList, failed)) return true;
    const std::wstring url = state.run.listSources.UrlOf(list);
    if (!url.empty() && FetchFile(nullptr, kListFileIndex, url, list) == 0)
        (void)AcceptFetchedList(url, list, ListRole::Product);
    return PlaceUpdateList(list, installedList, failed);
}

bool MoveNewFile(const std::wstring& source, const std::wstring& target) {
    return ::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES && MoveIntoPlace(source, target);
}

}  // namespace

std::wstring RightsTool() {
    if (!ReadConfigFlag(L"Mirefold", L"icacls", L"0")) return {};
    const std::wstring tool = Process().paths.ExpandMacros(L"{sys}\\icacls.exe");
    return FileExists(tool) ? tool : std::wstring();
}

void GrantUsersRights(const std::wstring& tool, const std::wstring& path) {
    if (tool.empty() || path.empty()) return;
    ShellStart start(tool, GrantParameters(path));
    start.show = SW_HIDE;
    (void)StartThroughShell(start);
}

bool RegisterLibrary(const std::wstring& path) {
    // No system dialog for a library that cannot load: the phase may run
    // without anybody to answer it.
    DWORD previousMode = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    const UniqueModule library(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    ::SetThreadErrorMode(previousMode, nullptr);
    if (!library) return false;
    using RegisterServer = HRESULT(STDAPICALLTYPE*)();
    const auto registerServer = GetExport<RegisterServer>(library.get(), "DllRegisterServer");
    if (registerServer != nullptr) registerServer();
    return true;
}

void RunListEntry(const std::wstring& command, HWND owner) {
    const ListCommand entry = ParseListCommand(command, [](const std::wstring& field) {
        return Process().paths.ExpandMacros(field);
    });
    ShowAndLogLine(owner, ListCommandLine(Translate(L"Run"), entry));
    if (FileExists(entry.path)) StartProgram(entry.path, entry.parameters, L"", entry.wait);
}

void MoveFolderTree(const std::wstring& source, const std::wstring& destination) {
    WIN32_FIND_DATAW data{};
    // The temporary folder is the user's: a link in it is never followed,
    // and only plain files lying in it are moved (a link to a file
    // elsewhere would move that file).
    ConfinedFolder folder;
    const bool confined = folder.Open(source);
    UniqueFind find(confined ? ::FindFirstFileW((source + L"\\*.*").c_str(), &data) : INVALID_HANDLE_VALUE);
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring from = source + L"\\" + name;
            const std::wstring to = ReduceBackslashes(destination + L"\\" + name);
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
                ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && !folder.HoldsPlainFile(from))) {
                WriteLog(TranslateFormat(L"Path refused[%s]", from));
            } else if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                // A folder the installation does not have yet is made, or
                // its files would be left behind in the temporary folder.
                CreateFolderTree(to);
                MoveFolderTree(from, to);
            } else if (!MoveNewFile(from, to)) {
                WriteLog(TranslateFormat(L"move file error[%s]to[%s]", from, to));
            }
        } while (::FindNextFileW(find.get(), &data));
    }
    find.reset();
    folder = ConfinedFolder();
    ::RemoveDirectoryW(source.c_str());
}

bool ApplyUpdate(HWND owner) {
    ProcessState& state = Process();
    const std::wstring tool = RightsTool();
    const bool unzip = ReadConfigFlag(L"Mirefold", L"UnZip", L"1");
    ShowAndLogLine(owner, Translate(L"Copy from temporary directory"));
    const std::wstring temporaryFolder = state.paths.ListCacheBase();
    const std::wstring installFolder = GetWorkFolder();
    if (!unzip) {
        MoveFolderTree(temporaryFolder, installFolder);
        return true;
    }

    const std::vector<updatefileinfo> records = state.updateList.Records();
    const std::vector<std::wstring> failed = CopyRecords(owner, records, temporaryFolder, tool);

    ShowAndLogLine(owner, Translate(L"Do upgrade tasks"));
    const bool restart = RunRecordOperations(owner, records, installFolder);
    const std::vector<std::wstring> commands = state.updateList.commands;
    for (const std::wstring& command : commands) RunListEntry(command, owner);

    ShowAndLogLine(owner, Translate(L"Clear temp files"));
    RemoveTree(temporaryFolder);
    ShowAndLogLine(owner, TranslateFormat(L"Update completed,done %d files", static_cast<int>(records.size())));
    if (!failed.empty())
        ShowAndLogLine(owner, TranslateFormat(L"%d files could not be updated", static_cast<int>(failed.size())));
    if (restart) ShowAndLogLine(owner, Translate(L"Need to restart your computer"));

    const std::wstring installedList = JoinFolderPath(installFolder, L"mirefold.xml");
    // The serial goes with the list: an installation whose list is not the
    // new one is not of the new release.
    if (PutNewListInPlace(installedList, failed)) WriteInstalledSerial(ListSerialOf(state.updateList));
    GrantUsersRights(tool, installedList);
    return true;
}

bool RunInstallPhase(HWND owner) {
    ProcessState& state = Process();
    if (state.updateList.Status() != UpdateStatus::CheckLocalOk) return false;
    SetStatus(UpdateStatus::Copy, owner);
    const ComInit com;
    {
        const CancelDisabled cancel(owner);
        ApplyUpdate(owner);
        SetStatus(UpdateStatus::CopyOk, owner);
        if (!state.updateList.versionText.empty()) WriteConfig(L"APPLICATION", L"Ver", state.updateList.versionText);
    }
    return true;
}

}  // namespace mf
