#include "host/status.h"

#include "app/process_state.h"
#include "apply/run_file.h"
#include "host/host_protocol.h"

namespace mf {

std::wstring StatusName(int code) {
    static const wchar_t* const names[] = {
        L"UpdateNone",        L"UpdateCheckRemote",      L"UpdateCheckRemoteError", L"UpdateCheckRemoteOk",
        L"UpdateDownload",    L"UpdateDownloadError",    L"UpdateDownloadOk",       L"UpdateCheckLocal",
        L"UpdateCheckLocalError", L"UpdateCheckLocalOk", L"UpdateCopy",             L"UpdateCopyError",
        L"UpdateCopyOk",      L"UpdateEnd",
    };
    if (code < 0 || code >= static_cast<int>(std::size(names))) return {};
    return names[code];
}

void SetStatus(int code, HWND owner) {
    (void)owner;  // the programs are started without an owner window
    ProcessState& state = Process();
    state.notifications.BroadcastStatus(code, state.updateList.GetSize());
    state.updateList.SetStatusCode(code);
    const std::wstring name = StatusName(code);
    if (name.empty()) return;
    const std::wstring program = ReadConfig(L"UpdateEvent", name);
    if (!program.empty() && !RunFile(program, L"", false)) WriteLog(L"Cannot start " + program);
    const std::wstring waited = ReadConfig(L"UpdateEventWaitClose", name);
    if (!waited.empty() && !RunFile(waited, L"", true)) WriteLog(L"Cannot start " + waited);
}

HostRunState CheckHostWindow(HWND host) {
    if (host == nullptr) return HostRunState::Continue;
    if (!::IsWindow(host) && Process().notifications.ExitWhenKilled(host)) return HostRunState::Stop;
    if (reinterpret_cast<INT_PTR>(::GetPropW(host, host::kPausedProperty)) == host::kOn) return HostRunState::Paused;
    return HostRunState::Continue;
}

bool WaitForHostGoAhead(HWND host) {
    for (;;) {
        switch (CheckHostWindow(host)) {
            case HostRunState::Stop: return false;
            case HostRunState::Continue: return true;
            case HostRunState::Paused: ::Sleep(100); break;
        }
    }
}

}  // namespace mf
