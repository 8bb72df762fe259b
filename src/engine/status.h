// The update status: broadcast to the notification windows, kept in the
// update list, and the programs configured for a status started. Also the
// way every phase reports a text: to its owner window and the log.
#pragma once

#include <windows.h>

#include <string>

#include "base/update_status.h"

namespace mf {

// Sends the status to the notification windows (message 1974 to those that
// ask, the "mirefold.exe" and "updatefilecount" properties on all), stores
// it in the update list and starts the programs named for it in sections
// "UpdateEvent" (not waited for) and "UpdateEventWaitClose" (waited for).
void SetStatus(UpdateStatus status, HWND owner = nullptr);

// Shows the text in the owner window (when there is one) and logs it.
void ShowAndLog(HWND owner, const std::wstring& text);
// Sends the message text (1977) to the host windows that asked for it.
void SendMessageText(const std::wstring& text);

// Between phases of a run driven by a host window: whether the run may go
// on, must wait, or must stop.
enum class HostRunState { Continue, Paused, Stop };
[[nodiscard]] HostRunState CheckHostWindow(HWND host);
// Waits while the host holds the run ("mirefold.paused"), checking every
// 100 ms; false when the run must stop because the host window is gone and
// asked for that ("mirefold.exitwhenwndkilled").
[[nodiscard]] bool WaitForHostGoAhead(HWND host);

}  // namespace mf
