#include "engine/message_box.h"

#include "engine/process_state.h"

namespace mf {

namespace {

bool IsOwnVisibleWindow(HWND window) {
    if (window == nullptr || !::IsWindowVisible(window)) return false;
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    return process == ::GetCurrentProcessId();
}

}  // namespace

bool SomebodyCanAnswer(HWND owner) {
    ProcessState& state = Process();
    if (!state.run.somebodyCanAnswer) return false;
    if (state.run.hostWindow == nullptr) return true;
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
