#include "check/background_refresh.h"

#include <windows.h>
#include "base/strings.h"
#include "check/check_hour.h"
#include "check/parameter_package.h"
#include "engine/elevation.h"
#include "engine/process_state.h"
#include "engine/status.h"

namespace mf {

namespace {

void RelaunchHidden(const std::wstring& parameter) { (void)StartEngineAgain(parameter, L"open", SW_HIDE); }

// How the run that stops after start-up is started (tests replace it).
// Process-wide: a fresh state starts it hidden through the shell.
struct StarterSlot : ProcessWide {
    RelaunchStarter starter = RelaunchHidden;
};

RelaunchStarter& Starter() { return Process().Shared<StarterSlot>().starter; }

}  // namespace

void SetRelaunchStarterForTesting(RelaunchStarter starter) {
    Starter() = starter ? std::move(starter) : RelaunchStarter(RelaunchHidden);
}

long long StoredCheckHour() { return ParseInt64(ReadConfig(L"Mirefold", L"OwerCheckTm")); }

void StartStartupOnlyRun() {
    WriteConfig(L"Mirefold", L"OwerCheckTm", CheckHourText(CurrentCheckHour()));
    Starter()(Process().run.ownServerKindSeen.load() ? L"downparam1" : L"downparam0");
}

void CheckTimeBookkeeping() {
    ProcessState& state = Process();
    if (state.updateList.Status() <= UpdateStatus::CheckRemoteError) return;
    const long long current = CurrentCheckHour();
    if (CheckHoursFarApart(current, StoredCheckHour()) || CurrentParameterFields().FromWebServer())
        DeleteFileForce(state.paths.PackageFile());
    WriteConfig(L"Mirefold", L"OwerCheckTm", CheckHourText(current));
}

}  // namespace mf
