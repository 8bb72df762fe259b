#include "app/flows.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>

#include "apply/download_phase.h"
#include "apply/download_rules.h"
#include "apply/install_phase.h"
#include "apply/local_check.h"
#include "apply/run_file.h"
#include "apply/uninstall.h"
#include "base/files.h"
#include "base/messages.h"
#include "base/run_program.h"
#include "base/strings.h"
#include "check/background_refresh.h"
#include "check/parameter_package.h"
#include "check/update_check.h"
#include "check/update_list_reader.h"
#include "engine/command_line.h"
#include "engine/dotnet.h"
#include "engine/elevation.h"
#include "engine/installed_release.h"
#include "engine/machine_id.h"
#include "engine/message_box.h"
#include "engine/process_state.h"
#include "engine/status.h"
#include "net/list_signature.h"
#include "ui/dotnet_dialog.h"
#include "ui/launcher_window.h"
#include "ui/update_center.h"

namespace mf {

namespace {

// The check without a window, on this thread; the version a version reply
// announced becomes the one the exit code reports.
void RunCheckOnThisThread() {
    RunUpdateCheck(nullptr);
    ProcessState& state = Process();
    state.announcedVersion = state.updateList.versionText;
}

UpdateStatus CurrentStatus() { return Process().updateList.Status(); }

ui::LauncherActions LauncherActionsFor(std::function<void()> continueEnterFlow = {});
void ShowLauncher(ui::LauncherForm form, const ui::LauncherActions& actions);
int UpdateCount() { return Process().updateList.GetSize(); }

// The update count, or 2147483647 when the check announced a version other
// than the installed one.
int CountOrAnnouncedVersion() {
    ProcessState& state = Process();
    return ComputeExitCode(UpdateCount(), state.announcedVersion, ReadConfig(L"APPLICATION", L"Ver"));
}

// The end of every path of a run that its flow owns.
void EndRun() { SetStatus(UpdateStatus::End); }

// The workers' turn at the update list: one worker at a time runs the
// phases, held by a lock that goes with its holder, however that ends.
// `owner` is the window of the worker (update or check) that took the turn
// last.
// Process-wide: a fresh state has no worker running.
struct WorkerState : ProcessWide {
    std::mutex turn;
    std::atomic<HWND> owner{nullptr};
};

std::mutex& WorkerTurn() { return Process().Shared<WorkerState>().turn; }

void SendToOwner(HWND owner, UINT command) {
    if (owner != nullptr) ::SendMessageW(owner, WM_COMMAND, command, 0);
}

// The phases of a whole update after a successful check, for UpdateWorker.
// False when a phase did not end as it should.
bool RunPhasesAfterCheck(HWND owner) {
    if (CurrentStatus() < UpdateStatus::DownloadOk && UpdateCount() > 0) {
        (void)RunDownloadPhaseWithRetries(owner);
        if (CurrentStatus() != UpdateStatus::DownloadOk) return false;
    }
    if (CurrentStatus() < UpdateStatus::CheckLocalOk && UpdateCount() > 0) {
        (void)CheckLocalFiles(owner);
        if (CurrentStatus() != UpdateStatus::CheckLocalOk) return false;
    }
    if (CurrentStatus() < UpdateStatus::CopyOk && UpdateCount() > 0) {
        (void)RunInstallPhase(owner);
        if (CurrentStatus() != UpdateStatus::CopyOk && CurrentStatus() != UpdateStatus::End) return false;
    }
    SendToOwner(owner, cmd::kInstallDone);
    return true;
}

}  // namespace

StartResult CheckForUpdatesFlow() {
    if (ReadConfigFlag(L"Mirefold", L"ShowWhenCheck", L"1")) {
        ShowLauncher(ui::LauncherForm::Check, LauncherActionsFor());
    } else {
        RunCheckOnThisThread();
    }
    const bool found = CountOrAnnouncedVersion() != 0;
    EndRun();
    return found ? StartResult::Continue : StartResult::Stop;
}

StartResult SilentFlow() {
    ProcessState& state = Process();
    HWND host = state.run.hostWindow;
    auto finish = [] {
        EndRun();
        LaunchMainProgramWithDotNetCheck(false);
        CheckTimeBookkeeping();
        return StartResult::Continue;
    };
    if (CurrentStatus() < UpdateStatus::CheckRemoteOk) RunWholeCheckWindowless();
    if (UpdateCount() == 0) return finish();
    if (!WaitForHostGoAhead(host)) return finish();
    if (CurrentStatus() == UpdateStatus::CheckRemoteOk) {
        (void)RunDownloadPhaseWithRetries(nullptr);
        if (!WaitForHostGoAhead(host)) return finish();
    }
    if (CurrentStatus() == UpdateStatus::DownloadOk) {
        (void)CheckLocalFiles(nullptr);
        if (!WaitForHostGoAhead(host)) return finish();
        if (state.run.elevatedRelaunch) ClearAdministratorFiles();
        if (HasAdministratorFiles()) {
            const std::wstring text = Translate(L"continue update as administrator");
            if (host != nullptr) state.notifications.SendStatusText(host, text);
            WriteLog(text);
            RelaunchElevated(true);
            return StartResult::Continue;
        }
    }
    if (CurrentStatus() == UpdateStatus::CheckLocalOk) {
        (void)RunInstallPhase(nullptr);
        if (!WaitForHostGoAhead(host)) return finish();
    }
    return finish();
}

int UpdateWorker(HWND owner) {
    {
        WorkerState& worker = Process().Shared<WorkerState>();
        std::unique_lock turn(worker.turn, std::try_to_lock);
        if (!turn.owns_lock()) {
            // While the running worker's window is there, this is a second
            // start for the same run: refused at once. A worker whose window
            // has gone (its launcher was closed during the update) is waited
            // for: then this one carries on from the status it left, as the
            // phases skip what is done, and tells its own window.
            const HWND running = worker.owner.load();
            if (running != nullptr && ::IsWindow(running)) return 0;
            turn.lock();
        }
        worker.owner.store(owner);
        bool checked = true;
        if (CurrentStatus() < UpdateStatus::CheckRemoteOk) {
            CheckAndReport(owner);
            checked = CurrentStatus() == UpdateStatus::CheckRemoteOk;
        }
        if (checked && CurrentStatus() == UpdateStatus::CheckRemoteOk && !Process().updateList.listUrls.empty()) {
            // The version reply named lists: check against them now.
            CheckAndReport(owner);
            checked = CurrentStatus() == UpdateStatus::CheckRemoteOk;
        }
        if (checked) (void)RunPhasesAfterCheck(owner);
    }
    // Told with the turn free: what the window does then may start the next
    // worker.
    SendToOwner(owner, cmd::kWorkerDone);
    return 1;
}

DWORD WINAPI UpdateWorkerThread(void* owner) {
    try {
        return static_cast<DWORD>(UpdateWorker(static_cast<HWND>(owner)));
    } catch (...) {
        WriteLog(L"The update worker ended on an unexpected error.");
        SendToOwner(static_cast<HWND>(owner), cmd::kWorkerDone);
        return 0;
    }
}

DWORD WINAPI CheckWorkerThread(void* owner) {
    HWND window = static_cast<HWND>(owner);
    try {
        WorkerState& worker = Process().Shared<WorkerState>();
        const std::lock_guard turn(worker.turn);
        worker.owner.store(window);
        if (CurrentStatus() < UpdateStatus::CheckRemoteOk) {
            CheckAndReport(window);
            Process().announcedVersion = Process().updateList.versionText;
        }
    } catch (...) {
        WriteLog(L"The update check ended on an unexpected error.");
    }
    SendToOwner(window, cmd::kWorkerDone);
    return 0;
}

namespace {

// The launcher window's view of the application.
ui::LauncherActions LauncherActionsFor(std::function<void()> continueEnterFlow) {
    ui::LauncherActions actions;
    actions.fullWorker = UpdateWorkerThread;
    actions.checkWorker = CheckWorkerThread;
    actions.continueEnterFlow = std::move(continueEnterFlow);
    actions.launchMainProgram = LaunchMainProgramWithDotNetCheck;
    return actions;
}

void ShowLauncher(ui::LauncherForm form, const ui::LauncherActions& actions) {
    ProcessState& state = Process();
    if (ui::ShowLauncherWindow(form, state.run.hostWindow, actions).skipLoop) state.skipLoop = 1;
}

// "appenter" once the check has ended: the question (unless
// "appenternoprompt"), then the update in the launcher or the main program.
void AppEnterAfterCheck(RunMode mode);

}  // namespace

StartResult AppEnterFlow(RunMode mode) {
    if (ReadConfig(L"APPLICATION", L"Application").empty()) {
        ReportError(nullptr, Translate(L"At AppEnter mode,You must set Application in mirefold.ini file."));
        return StartResult::Stop;
    }
    if (ReadConfigFlag(L"Mirefold", L"ShowWhenCheck", L"1")) {
        ShowLauncher(ui::LauncherForm::Enter, LauncherActionsFor([mode] { AppEnterAfterCheck(mode); }));
        return StartResult::Continue;
    }
    RunCheckOnThisThread();
    AppEnterAfterCheck(mode);
    return StartResult::Continue;
}

namespace {

void AppEnterAfterCheck(RunMode mode) {
    ProcessState& state = Process();
    const int count = CountOrAnnouncedVersion();
    if (CurrentStatus() == UpdateStatus::CheckRemoteOk && count > 0) {
        if (mode != RunMode::AppEnterNoPrompt) {
            const std::wstring question =
                state.announcedVersion.empty()
                    ? TranslateFormat(L"%d updates found at the website,now to upgrade?", UpdateCount())
                    : Translate(L"found new version at the website,now to upgrade?");
            const int answer = ShowMessage(nullptr, question, MB_YESNOCANCEL | MB_ICONQUESTION);
            if (answer == IDCANCEL) {
                EndRun();
                CheckTimeBookkeeping();
                return;
            }
            if (answer != IDYES) {
                EndRun();
                LaunchMainProgramWithDotNetCheck(true);
                CheckTimeBookkeeping();
                return;
            }
        }
        RunLauncherWindow();
        EndRun();
        return;
    }
    EndRun();
    LaunchMainProgramWithDotNetCheck(true);
    CheckTimeBookkeeping();
}

}  // namespace

void RunLauncherWindow() {
    ProcessState& state = Process();
    const std::wstring identifier = MachineIdentifier();
    WriteLog(ToLower(identifier) == L"000000000" ? std::wstring(L"机器码读取失败！")
                                                 : L"机器码读取成功，机器码：[" + identifier + L"]");
    state.run.skin = Skin::MostSimple;
    ShowLauncher(ui::LauncherForm::Plain, LauncherActionsFor());
    CheckTimeBookkeeping();
}

namespace {

// A fresh start for a run from the update center: an empty list, no
// description, status 0 with a count of 0 (the check runs only from there).
void ResetUpdateList() {
    DownLoadList& list = Process().updateList;
    list.SetSize(0);
    list.messageText.clear();
    SetStatus(UpdateStatus::None);
}

}  // namespace

void ShowUpdateCenter() {
    ui::UpdateCenterActions actions;
    // A launcher closed during its update leaves its worker running on the
    // update list: a check (on its own thread) waits for it to end, and an
    // update started meanwhile leaves the list as it is, for the new
    // launcher's worker to carry on with once that one has ended.
    actions.check = [] {
        const std::lock_guard turn(WorkerTurn());
        ResetUpdateList();
        RunCheckOnThisThread();
    };
    actions.update = [] {
        {
            const std::unique_lock turn(WorkerTurn(), std::try_to_lock);
            if (turn.owns_lock()) ResetUpdateList();
        }
        RunLauncherWindow();
        const DownLoadList& list = Process().updateList;
        return ui::UpdateRunEnd{ToInt(list.Status()), list.GetSize()};
    };
    ui::ShowUpdateCenter(actions);
}
void RunUpdateCheckWindowless() { RunCheckOnThisThread(); }
void RunWholeCheckWindowless() {
    RunCheckOnThisThread();
    // A version reply names the lists to check against: check them now, as
    // the update worker does.
    if (CurrentStatus() == UpdateStatus::CheckRemoteOk && !Process().updateList.listUrls.empty())
        CheckAndReport(nullptr);
}
UninstallOutcome Uninstall() {
    return Uninstall(
        [](const std::wstring& path, DownLoadList& target) { return ReadListAndRemoveIdentifier(path, target, true); },
        [] { RelaunchElevated(false); });
}

void ReadMachineIdentifier() { ComputeMachineIdentifier(); }

void LaunchMainProgramWithDotNetCheck(bool prompt) {
    const std::wstring program = Process().paths.MainProgramPath();
    if (program.empty() || !FileExists(program)) return;
    std::wstring required;
    if (!DotNetRequirementMetHere(&required)) {
        if (prompt) ShowDotNetPrompt(Process().mainWindow, required);
        return;
    }
    WriteLog(L"Start " + program);
    if (!RunProgramIn(program, L"", GetWorkFolder(), false)) WriteLog(L"Cannot start " + program);
}

namespace {

// A package brings a release, not necessarily one newer than the installed
// one: its list is compared with the installed list as a check compares,
// and only the records that differ are taken (with the messages not yet
// shown and the commands not yet run). The pending files of the others are
// removed, or a later download phase would take them for fetched files.
PackageOutcome TakeWhatTheInstallationLacks(const PackageTargets& targets, DownLoadList& list) {
    const std::wstring installed = ReduceBackslashes(GetWorkFolder() + L"\\mirefold.xml");
    if (!FileExists(installed)) return PackageOutcome::TakenOver;
    DownLoadList differing;
    {
        const ComInit com;
        if (!ReadAndCompareLists(list.listPath, installed, differing)) return PackageOutcome::TakenOver;
    }
    differing.FinishCheckedList();
    std::vector<std::wstring> wanted;
    for (const updatefileinfo& record : differing.Records()) wanted.push_back(ToLower(record.path));
    DownLoadList taken = list;
    taken.SetSize(0);
    for (const updatefileinfo& record : list.Records()) {
        if (std::find(wanted.begin(), wanted.end(), ToLower(record.path)) != wanted.end()) {
            taken.Add(record);
        } else if (RecordNeedsFile(record)) {
            DeleteFileForce(DownloadPathWith(targets.downloadFolder, record.path) + L"_");
        }
    }
    taken.messageText = differing.messageText;
    taken.commands = differing.commands;
    const int dropped = list.GetSize() - taken.GetSize();
    if (dropped > 0)
        WriteLog(Format(L"The package's files: %d already installed, %d taken from it.", dropped, taken.GetSize()));
    if (taken.IsEmpty()) {
        list = DownLoadList();
        return PackageOutcome::NoFiles;
    }
    list = taken;
    return PackageOutcome::TakenOver;
}

// A package of an older release than the installed one (or of an unknown
// one, over an installation), or one whose signature does not hold where
// lists must be signed, is not applied: what it unpacked goes, and the run
// goes on as an engine without a package (online).
bool TakePackageRelease(const PackageTargets& targets, DownLoadList& list) {
    const bool installationEmpty = !FileExists(ReduceBackslashes(GetWorkFolder() + L"\\mirefold.xml"));
    const std::wstring refusal = PackageListRefusal(list.listPath, installationEmpty);
    DeleteFileForce(list.listPath + kSignatureSuffix);
    if (refusal.empty()) {
        SetListSerial(list, ReadListMarks(list.listPath).serial);
        return true;
    }
    WriteLog(L"The package is not applied: " + refusal);
    for (const updatefileinfo& record : list.Records())
        if (RecordNeedsFile(record)) DeleteFileForce(DownloadPathWith(targets.downloadFolder, record.path) + L"_");
    DeleteFileForce(list.listPath);
    list = DownLoadList();
    return false;
}

}  // namespace

PackageOutcome RunEmbeddedPackage() {
    ProcessState& state = Process();
    const PackageTargets targets{state.paths.TempFolder(), state.paths.ListCacheBase(), state.paths.ListFile()};
    const PackageOutcome outcome = ExtractEmbeddedPackage(ExecutablePath(), targets, state.updateList);
    if (outcome == PackageOutcome::NoFiles) DeleteFileForce(targets.listFile + kSignatureSuffix);
    if (outcome != PackageOutcome::TakenOver) return outcome;
    if (!TakePackageRelease(targets, state.updateList)) return PackageOutcome::None;
    return TakeWhatTheInstallationLacks(targets, state.updateList);
}

void ReportDamagedPackage() {
    const std::wstring text = Translate(L"Find some wrong in this update package!");
    ProcessState& state = Process();
    if (state.run.hostWindow != nullptr) state.notifications.SendStatusText(state.run.hostWindow, text);
    ReportError(nullptr, text);
}

void AnnounceEmbeddedRelease() {
    DownLoadList& list = Process().updateList;
    if (!list.messageText.empty()) SendMessageText(list.messageText);
    ShowAndLog(nullptr, TranslateFormat(L"Found %d files need to update...", list.GetSize()));
    SetStatus(UpdateStatus::CheckRemoteOk);
}

void LoadCachedParameterPackage() { (void)LoadParameterPackage(); }

void ShowDotNetPrompt(HWND owner, const std::wstring& version) { ui::ShowDotNetDownloadPrompt(owner, version); }

void CheckDotNetRequirement() {
    std::wstring required;
    if (!DotNetRequirementMetHere(&required)) ShowDotNetPrompt(nullptr, required);
}

}  // namespace mf
