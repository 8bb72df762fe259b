// How the check reports: status codes to the notification windows, status
// texts to the owner window and the log, the collected message text to the
// host windows.
#pragma once

#include <windows.h>

#include <string>

namespace mf {

namespace update_status {
inline constexpr int kNone = 0;
inline constexpr int kCheckRemote = 1;
inline constexpr int kCheckRemoteError = 2;
inline constexpr int kCheckRemoteOk = 3;
inline constexpr int kEnd = 13;
}  // namespace update_status

void ReportStatus(int code, HWND owner);
// Shows the text in the owner window (when there is one) and logs it.
void ShowAndLog(HWND owner, const std::wstring& text);
// Sends the message text (1977) to the host windows that asked for it.
void SendMessageText(const std::wstring& text);

}  // namespace mf
