#include "engine/message_box.h"

#include "base/strings.h"
#include "engine/command_line.h"
#include "engine/process_state.h"

namespace mf {

namespace {

// The modes that scripts and hosts start and that must end by themselves.
bool IsUnattendedMode(RunMode mode) {
    switch (mode) {
        case RunMode::Silence:
        case RunMode::CheckForUpdates:
        case RunMode::DownParam0:
        case RunMode::DownParam1:
        case RunMode::EmptyTemp:
        case RunMode::Uninstall: return true;
        default: return false;
    }
}

bool IsOwnVisibleWindow(HWND window) {
    if (window == nullptr || !::IsWindowVisible(window)) return false;
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    return process == ::GetCurrentProcessId();
}

}  // namespace

bool SomebodyCanAnswer(HWND owner) {
    ProcessState& state = Process();
    // Before start-up has read the command line nothing is known yet.
    const std::wstring mode = state.variables.Get(L"runmode");
    if (!mode.empty() && IsUnattendedMode(RunModeOf(ToLower(mode)))) return false;
    if (state.hostWindow == nullptr) return true;
    return IsOwnVisibleWindow(owner) || IsOwnVisibleWindow(state.mainWindow);
}

int QuietAnswer(UINT flags) {
    switch (flags & MB_TYPEMASK) {
        case MB_OKCANCEL:
        case MB_YESNOCANCEL:
        case MB_RETRYCANCEL:
        case MB_CANCELTRYCONTINUE: return IDCANCEL;
        case MB_YESNO: return IDNO;
        case MB_ABORTRETRYIGNORE: return IDABORT;
        default: return IDOK;
    }
}

int ShowMessage(HWND owner, const std::wstring& text, UINT flags, int unattendedAnswer, const std::wstring& caption) {
    if (!SomebodyCanAnswer(owner)) {
        WriteLog(text + L" [not shown: nobody to answer in this run]");
        return unattendedAnswer != 0 ? unattendedAnswer : QuietAnswer(flags);
    }
    WriteLog(text);
    std::wstring title = caption;
    if (title.empty()) title = ReadConfig(L"APPLICATION", L"Name");
    if (title.empty()) title = L"Mirefold";
    return ::MessageBoxW(owner, text.c_str(), title.c_str(), flags);
}

void ReportError(HWND owner, const std::wstring& text) {
    if (text.empty()) return;
    ShowMessage(owner, text, MB_OK | MB_ICONERROR);
}

}  // namespace mf
