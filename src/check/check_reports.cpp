#include "check/check_reports.h"

#include "app/process_state.h"
#include "host/status.h"

namespace mf {

void ReportStatus(int code, HWND owner) { SetStatus(code, owner); }

void ShowAndLog(HWND owner, const std::wstring& text) {
    if (owner != nullptr) Process().notifications.SendStatusText(owner, text);
    WriteLog(text);
}

void SendMessageText(const std::wstring& text) { Process().notifications.SendDescription(text); }

}  // namespace mf
