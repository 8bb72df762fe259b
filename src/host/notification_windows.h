// Windows that follow an update: the engine's own windows and host windows
// of other programs. (Placeholder until the notification protocol lands.)
#pragma once

#include <windows.h>

#include <string>

namespace mf {

class NotificationWindows {
public:
    // Message 1975 to every window: one log line.
    void SendTextLine(const std::wstring& text) { (void)text; }
    // Registers a host window given on the command line.
    void Register(HWND window) { (void)window; }
    // Decommits the remote buffers and forgets every window.
    void ReleaseAll() {}
};

}  // namespace mf
