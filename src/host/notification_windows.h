// Windows that follow an update: the engine's own windows and host windows
// of other programs. (Placeholder until the notification protocol lands; the
// signatures below are the ones the other subsystems call.)
#pragma once

#include <windows.h>

#include <string>

namespace mf {

class NotificationWindows {
public:
    // Message 1975 to every window: one log line.
    void SendTextLine(const std::wstring& text) { (void)text; }
    // Message 1976: files completed so far and the total.
    void SendFileCount(int completed, int total) { (void)completed; (void)total; }
    // Message 1977: the description text of the update.
    void SendDescription(const std::wstring& text) { (void)text; }
    // Message 1978: size of the current file and bytes received so far.
    void SendByteProgress(long size, long received) { (void)size; (void)received; }
    // Message 1034: a status text.
    void SendStatusText(const std::wstring& text) { (void)text; }
    // Registers a host window given on the command line.
    void Register(HWND window) { (void)window; }
    // Decommits the remote buffers and forgets every window.
    void ReleaseAll() {}
};

}  // namespace mf
