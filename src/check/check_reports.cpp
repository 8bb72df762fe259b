#include "check/check_reports.h"

#include "app/process_state.h"
#include "base/messages.h"
#include "host/status.h"

namespace mf {

void ReportStatus(int code, HWND owner) {
    (void)owner;
    SetStatus(code);
}

void ShowAndLog(HWND owner, const std::wstring& text) {
    if (owner != nullptr) ::SendMessageW(owner, msg::kStatusText, reinterpret_cast<WPARAM>(text.c_str()), 0);
    WriteLog(text);
}

void SendMessageText(const std::wstring& text) { Process().notifications.SendDescription(text); }

}  // namespace mf
