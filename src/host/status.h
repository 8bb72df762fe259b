// The update status: broadcast to the notification windows, kept in the
// update list, and the programs configured for a status started.
#pragma once

#include <windows.h>

#include <string>

namespace mf {

// "UpdateNone" (0) ... "UpdateEnd" (13); empty for codes without a name.
[[nodiscard]] std::wstring StatusName(int code);

// Sends the status to the notification windows (message 1974 to those that
// ask, the "mirefold.exe" and "updatefilecount" properties on all), stores
// it in the update list and starts the programs named for it in sections
// "UpdateEvent" (not waited for) and "UpdateEventWaitClose" (waited for).
void SetStatus(int code, HWND owner = nullptr);

// Between phases of a run driven by a host window: whether the run may go
// on, must wait, or must stop.
enum class HostRunState { Continue, Paused, Stop };
[[nodiscard]] HostRunState CheckHostWindow(HWND host);
// Waits while the host holds the run ("mirefold.paused"), checking every
// 100 ms; false when the run must stop because the host window is gone and
// asked for that ("mirefold.exitwhenwndkilled").
[[nodiscard]] bool WaitForHostGoAhead(HWND host);

}  // namespace mf
