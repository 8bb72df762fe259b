#include "app/flows.h"

#include "apply/uninstall.h"
#include "base/files.h"
#include "base/run_program.h"
#include "check/parameter_package.h"
#include "check/update_check.h"
#include "check/update_list_reader.h"
#include "engine/command_line.h"
#include "engine/dotnet.h"
#include "engine/machine_id.h"
#include "engine/message_box.h"
#include "engine/process_state.h"
#include "engine/status.h"

namespace mf {

namespace {
void NotAvailable(const wchar_t* what) { WriteLog(std::wstring(what) + L" is not available in this build."); }
}  // namespace

namespace {

// The check without a window, on this thread; the version a version reply
// announced becomes the one the exit code reports.
void RunCheckOnThisThread() {
    RunUpdateCheck(nullptr);
    ProcessState& state = Process();
    state.announcedVersion = state.updateList.versionText;
}

}  // namespace

int CheckForUpdatesFlow() {
    if (ReadConfigFlag(L"Mirefold", L"ShowWhenCheck", L"1")) {
        NotAvailable(L"The launcher window");
    } else {
        RunCheckOnThisThread();
    }
    ProcessState& state = Process();
    const int result =
        ComputeExitCode(state.updateList.GetSize(), state.announcedVersion, ReadConfig(L"APPLICATION", L"Ver"));
    SetStatus(UpdateStatus::End, nullptr);
    return result;
}

int SilentFlow() {
    NotAvailable(L"The silent update");
    return 0;
}

int AppEnterFlow() {
    NotAvailable(L"The application enter flow");
    return 0;
}

void RunLauncherWindow() { NotAvailable(L"The launcher window"); }
void ShowUpdateCenter() { NotAvailable(L"The update center"); }
void RunUpdateCheckWindowless() { RunCheckOnThisThread(); }
void Uninstall() {
    (void)Uninstall([](const std::wstring& path, DownLoadList& target) { return ReadUpdateList(path, target, true); });
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

PackageOutcome RunEmbeddedPackage() {
    ProcessState& state = Process();
    const PackageTargets targets{state.paths.TempFolder(), state.paths.ListCacheBase(), state.paths.ListFile()};
    return ExtractEmbeddedPackage(ExecutablePath(), targets, state.updateList);
}

void ReportDamagedPackage() { ReportError(nullptr, Translate(L"Find some wrong in this update package!")); }

void AnnounceEmbeddedRelease() {
    DownLoadList& list = Process().updateList;
    if (!list.messageText.empty()) SendMessageText(list.messageText);
    ShowAndLog(nullptr, TranslateFormat(L"Found %d files need to update...", list.GetSize()));
    SetStatus(UpdateStatus::CheckRemoteOk);
}

void LoadCachedParameterPackage() { (void)LoadParameterPackage(); }

void ShowDotNetPrompt(HWND owner, const std::wstring& version) {
    const std::wstring address = DotNetDownloadAddress(DotNetVersionKey(version));
    // The download dialog comes with the engine's windows; until then a
    // version it could download is asked for like one it could not.
    if (!address.empty()) WriteLog(L"The .NET Framework download dialog is not available in this build: " + address);
    ShowMessage(owner, DotNetPromptMessage(version), MB_OK | MB_ICONWARNING);
}

void CheckDotNetRequirement() {
    std::wstring required;
    if (!DotNetRequirementMetHere(&required)) ShowDotNetPrompt(nullptr, required);
}

}  // namespace mf
