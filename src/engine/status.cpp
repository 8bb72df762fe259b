#include "engine/status.h"

#include "engine/process_state.h"
#include "host/host_protocol.h"

namespace mf {

void SetStatus(UpdateStatus status, HWND owner) {
    (void)owner;  // the programs are started without an owner window
    ProcessState& state = Process();
    state.notifications.BroadcastStatus(ToInt(status), state.updateList.GetSize());
    state.updateList.SetStatus(status);
    const std::wstring name = StatusName(status);
    if (name.empty()) return;
    const std::wstring program = ReadConfig(L"UpdateEvent", name);
    if (!program.empty() && !state.runFile(program, L"", false)) WriteLog(L"Cannot start " + program);
    const std::wstring waited = ReadConfig(L"UpdateEventWaitClose", name);
    if (!waited.empty() && !state.runFile(waited, L"", true)) WriteLog(L"Cannot start " + waited);
}

void ShowAndLog(HWND owner, const std::wstring& text) {
    if (owner != nullptr) Process().notifications.SendStatusText(owner, text);
    WriteLog(text);
}

void SendMessageText(const std::wstring& text) { Process().notifications.SendDescription(text); }

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
