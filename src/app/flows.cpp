#include "app/flows.h"

#include "apply/run_file.h"
#include "check/parameter_package.h"
#include "check/update_check.h"
#include "engine/command_line.h"
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
void Uninstall() { NotAvailable(L"Uninstall"); }

void ReadMachineIdentifier() {}

void LaunchMainProgramWithDotNetCheck(bool /*prompt*/) {
    const std::wstring program = Process().paths.MainProgramPath();
    if (program.empty()) return;
    WriteLog(L"Start " + program);
    RunFile(program, L"", false);
}

bool RunEmbeddedPackage() { return false; }
void LoadCachedParameterPackage() { (void)LoadParameterPackage(); }

void ShowDotNetPrompt(const wchar_t* version) {
    WriteLog(std::wstring(L"The .NET Framework ") + version + L" prompt is not available in this build.");
}

void CheckDotNetRequirement() {}

}  // namespace mf
