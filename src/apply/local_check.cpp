#include "apply/local_check.h"

#include <commctrl.h>

#include <mutex>

#include "base/messages.h"
#include "base/strings.h"
#include "engine/asking.h"
#include "engine/privileges.h"
#include "engine/process_state.h"
#include "engine/status.h"
#include "engine/targets.h"

namespace mf {

namespace {

// The local check's process-wide state. The paths are read by the flow that
// decides on the relaunch, on another thread than the one that collects
// them: hence the lock.
// Process-wide: a fresh state has no paths collected and asks the system about elevation.
struct LocalCheckState : ProcessWide {
    std::mutex mutex;
    std::vector<std::wstring> administratorFiles;
    std::shared_ptr<FileOperations> files;
    int supportsElevation = -1;  // -1: ask the system
};

LocalCheckState& State() { return Process().Shared<LocalCheckState>(); }

bool ElevatedRun() { return Process().run.elevatedRelaunch; }

// Paths are collected only where the elevated relaunch can help.
bool CollectsAdministratorFiles() {
    if (ElevatedRun()) return false;
    LocalCheckState& state = State();
    int supports = 0;
    {
        std::lock_guard guard(state.mutex);
        supports = state.supportsElevation;
    }
    return supports < 0 ? SystemSupportsElevation() : supports != 0;
}

void ForgetAdministratorFilesWhenElevated() {
    if (ElevatedRun()) ClearAdministratorFiles();
}

void AddAdministratorFile(const std::wstring& path) {
    LocalCheckState& state = State();
    std::lock_guard guard(state.mutex);
    state.administratorFiles.push_back(path);
}

std::shared_ptr<FileOperations> CurrentFileOperations() {
    LocalCheckState& state = State();
    std::lock_guard guard(state.mutex);
    if (!state.files) state.files = std::make_shared<SystemFileOperations>();
    return state.files;
}

// A status text for the owner window that is not logged.
void Show(HWND owner, const std::wstring& text) {
    if (owner != nullptr) Process().notifications.SendStatusText(owner, text);
}

std::wstring MainProgramValue() { return Trim(ReadConfig(L"APPLICATION", L"Application")); }

std::wstring InstallFolderFile(const std::wstring& name) {
    return ReduceBackslashes(GetWorkFolder() + L"\\" + name);
}

// The main program's full path, for the question only.
std::wstring MainProgramFullPath(const std::wstring& value) {
    if (value.find(L':', 1) != std::wstring::npos) return value;
    return InstallFolderFile(value);
}

bool CompanionListsWritable() {
    bool writable = true;
    for (const wchar_t* name : kCompanionLists) {
        if (!EnsureFileWritable(InstallFolderFile(name), false)) writable = false;
    }
    return writable;
}

// Asks whether to close the main program (Yes in the "mostsimple" skin,
// where nobody is asked) and closes it on Yes.
void OfferToCloseMainProgram(HWND owner, const std::wstring& value) {
    const std::wstring question = TranslateFormat(L"Find main program [%s] not closed, Close it now?\n%s",
                                                  ReadConfig(L"APPLICATION", L"Name"), MainProgramFullPath(value));
    if (Process().run.skin != Skin::MostSimple) {
        const std::wstring caption = Translate(L"Mirefold");
        // Nobody answers in an unattended run: the program is left running
        // and the check reports it, rather than waiting for ever.
        if (Ask({owner, question, MB_YESNO | MB_ICONQUESTION, IDNO, caption}) != IDYES) return;
    }
    CloseProgramByPath(ToLower(value));
}

// Steps 1 to 4 of the phase; the status is 7 afterwards, 8 or 9 when it ran
// to its end.
bool RunLocalCheck(HWND owner, bool ask) {
    SetStatus(UpdateStatus::CheckLocal, owner);
    // The configuration file is where a missing write right to the
    // installation folder is first found.
    EnsureFileWritable(InstallFolderFile(L"mirefold.ini"), false);

    ForgetAdministratorFilesWhenElevated();
    bool checked = true;
    if (!HasAdministratorFiles()) checked = CloseMainProgramAndCheck(owner, ask);
    ForgetAdministratorFilesWhenElevated();

    if (HasAdministratorFiles()) {
        SetStatus(UpdateStatus::CheckLocalError, owner);
        ShowAndLog(owner, Translate(L"request administrator privileges to continue"));
        return false;
    }
    SetStatus(checked ? UpdateStatus::CheckLocalOk : UpdateStatus::CheckLocalError, owner);
    return checked;
}

bool MayRun() {
    const UpdateStatus status = Process().updateList.Status();
    return status == UpdateStatus::DownloadOk || status == UpdateStatus::CheckLocal;
}

}  // namespace

bool IsFileWritable(const std::wstring& path) {
    ForgetAdministratorFilesWhenElevated();
    const bool deniedPathsKnown = HasAdministratorFiles();
    const WriteProbe probe = ProbeWritable(path, deniedPathsKnown, *CurrentFileOperations());
    if (probe.restoreFailed) WriteLog(L"Cannot rename back " + path + kProbeSuffix);
    if (probe.accessDenied && CollectsAdministratorFiles()) AddAdministratorFile(path);
    return probe.writable;
}

bool EnsureFileWritable(const std::wstring& path, bool ask) {
    bool writable = IsFileWritable(path);
    while (!writable && ask) {
        const std::wstring text = Translate(L"Can't overwrite the file,Please close it.") + L"\n" + path;
        if (Ask({nullptr, text, MB_RETRYCANCEL, 0, {}}) != IDRETRY) break;
        writable = IsFileWritable(path);
    }
    return writable;
}

bool IsMainProgramClosed(HWND owner) {
    const std::wstring value = MainProgramValue();
    if (value.empty()) return true;
    const std::vector<RunningProgram> running = FindRunningPrograms(value);
    if (!running.empty()) {
        ShowAndLog(owner, Translate(L"The main program has not closed") + L" " + running.front().modulePath);
        return false;
    }
    ShowAndLog(owner, Translate(L"The main program has closed") + L"[" + value + L"]");
    return true;
}

bool CheckLockedFiles(HWND owner, bool ask) {
    ForgetAdministratorFilesWhenElevated();
    ShowAndLog(owner, Translate(L"Check locked file..."));
    // A copy: the list is not changed during this phase, and no lock is held
    // while the user answers a question.
    const std::vector<updatefileinfo> records = Process().updateList.Records();
    const int total = static_cast<int>(records.size());
    int locked = 0;
    for (int i = 0; i < total && !HasAdministratorFiles(); ++i) {
        ::Sleep(1);
        Show(owner, TranslateFormat(L"Examining the %d files,total of %d...", i + 1, total));
        const updatefileinfo& record = records[static_cast<std::size_t>(i)];
        if (!IsFileRecord(record) || (record.oper & OPER_DEL) != 0) continue;
        for (const std::wstring& path : ExpandTargets(record.path, record.desname)) {
            if (EnsureFileWritable(path, ask)) continue;
            ++locked;
            ShowAndLog(owner, Translate(L"File is locked") + L"[" + path + L"]");
        }
    }
    if (locked > 0) {
        ShowAndLog(owner, TranslateFormat(L"%d update files has %d locked", total, locked));
        return false;
    }
    ShowAndLog(owner, Translate(L"No locked files"));
    return true;
}

bool CloseMainProgramAndCheck(HWND owner, bool ask) {
    bool result = IsMainProgramClosed(owner);
    if (!CompanionListsWritable()) result = false;
    const std::wstring value = MainProgramValue();
    // Without a main program there is nothing to close: the question would
    // name nobody, and closing "" would close every program.
    if (!result && !value.empty()) OfferToCloseMainProgram(owner, value);
    if (!CheckLockedFiles(owner, ask)) result = false;
    return result;
}

bool CheckLocalFiles(HWND owner) {
    if (!MayRun()) return false;
    return RunLocalCheck(owner, owner != nullptr);
}

bool CheckLocalFiles(const UpdateCenterTarget& target) {
    if (!MayRun()) return false;
    if (target.fileList != nullptr) ::SendMessageW(target.fileList, LVM_DELETEALLITEMS, 0, 0);
    const bool ready = RunLocalCheck(target.dialog, false);
    if (target.dialog == nullptr) return ready;
    const HWND parent = ::GetParent(target.dialog);
    const UpdateStatus status = Process().updateList.Status();
    const LPARAM result = HasAdministratorFiles() || status >= UpdateStatus::CheckLocal ? 3 : 0;
    if (parent != nullptr) ::PostMessageW(parent, msg::kPhaseResult, 0, result);
    ::RedrawWindow(target.dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (status > UpdateStatus::CheckLocalError && target.continueWhenReady && parent != nullptr)
        ::PostMessageW(parent, WM_COMMAND, msg::kUpdateCenterContinue, 0);
    return ready;
}

std::vector<std::wstring> AdministratorFiles() {
    LocalCheckState& state = State();
    std::lock_guard guard(state.mutex);
    return state.administratorFiles;
}

bool HasAdministratorFiles() {
    LocalCheckState& state = State();
    std::lock_guard guard(state.mutex);
    return !state.administratorFiles.empty();
}

void ClearAdministratorFiles() {
    LocalCheckState& state = State();
    std::lock_guard guard(state.mutex);
    state.administratorFiles.clear();
}

void UseFileOperations(std::shared_ptr<FileOperations> files) {
    LocalCheckState& state = State();
    std::lock_guard guard(state.mutex);
    state.files = std::move(files);
}

void AssumeSystemSupportsElevation(bool supports) {
    LocalCheckState& state = State();
    std::lock_guard guard(state.mutex);
    state.supportsElevation = supports ? 1 : 0;
}

}  // namespace mf
