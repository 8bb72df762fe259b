#include "engine/message_box.h"

#include "engine/process_state.h"

namespace mf {

int ShowMessage(HWND owner, const std::wstring& text, UINT flags) {
    std::wstring caption = ReadConfig(L"APPLICATION", L"Name");
    if (caption.empty()) caption = L"Mirefold";
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

void ReportError(HWND owner, const std::wstring& text) {
    if (text.empty()) return;
    WriteLog(text);
    ShowMessage(owner, text, MB_OK | MB_ICONERROR);
}

}  // namespace mf
