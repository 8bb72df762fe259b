#include "check/background_refresh.h"

#include <windows.h>
#include <shellapi.h>

#include "app/process_state.h"
#include "base/strings.h"
#include "check/check_hour.h"
#include "check/check_reports.h"
#include "net/range_downloader.h"

namespace mf {

namespace {

void RelaunchHidden(const std::wstring& parameter) {
    wchar_t self[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring folder = GetWorkFolder();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpFile = self;
    info.lpParameters = parameter.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_HIDE;
    ::ShellExecuteExW(&info);
}

RelaunchStarter& Starter() {
    static RelaunchStarter starter = RelaunchHidden;
    return starter;
}

}  // namespace

void SetRelaunchStarterForTesting(RelaunchStarter starter) {
    Starter() = starter ? std::move(starter) : RelaunchStarter(RelaunchHidden);
}

long long StoredCheckHour() { return ParseInt64(ReadConfig(L"Mirefold", L"OwerCheckTm")); }

void StartBackgroundRefresh() {
    WriteConfig(L"Mirefold", L"OwerCheckTm", CheckHourText(CurrentCheckHour()));
    Starter()(MirefoldServerSeen().load() ? L"downparam1" : L"downparam0");
}

void CheckTimeBookkeeping() {
    ProcessState& state = Process();
    if (state.updateList.Status() <= update_status::kCheckRemoteError) return;
    const long long current = CurrentCheckHour();
    if (CheckHoursFarApart(current, StoredCheckHour()) || state.variables.Get(L"frommwebsvr") == L"true")
        DeleteFileForce(state.paths.PackageFile());
    WriteConfig(L"Mirefold", L"OwerCheckTm", CheckHourText(current));
}

}  // namespace mf
