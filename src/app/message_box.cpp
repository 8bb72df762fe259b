#include "app/message_box.h"

#include "app/process_state.h"

namespace mf {

int ShowMessage(HWND owner, const std::wstring& text, UINT flags) {
    std::wstring caption = ReadConfig(L"APPLICATION", L"Name");
    if (caption.empty()) caption = L"Mirefold";
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

}  // namespace mf
