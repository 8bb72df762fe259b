// Windows that follow an update: the engine's own windows and the windows of
// host applications. Each listed window gets a text block committed in its
// own process, into which text lines and status texts are written before the
// message that points to them is sent.
//
// All sends are synchronous, each with a time-out (and none at all to a
// receiver that Windows already counts as hung): a listed window that does
// not answer in time is skipped from then on, so a host that stops
// processing messages cannot hold the update. Its window properties are
// still set.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/settable_folder.h"

namespace mf {

class NotificationWindows {
public:
    NotificationWindows() = default;
    ~NotificationWindows();
    NotificationWindows(const NotificationWindows&) = delete;
    NotificationWindows& operator=(const NotificationWindows&) = delete;

    // Adds a window (once: registering a listed window again changes
    // nothing, except that a window of this process that was skipped gets
    // messages again) and prepares its text block in its process.
    void Register(HWND window);
    // Removes the window from the list; its text block stays until
    // ReleaseAll, so a window that registers again reuses it.
    void Unregister(HWND window);
    [[nodiscard]] bool IsListed(HWND window) const;
    [[nodiscard]] std::vector<HWND> Windows() const;

    // Status change (message 1974 to windows that ask for it), and the
    // "mirefold.exe" / "updatefilecount" properties on every window.
    void BroadcastStatus(int code, int fileCount);
    // Message 1975 to every window: one log line, without the application
    // folder.
    void SendTextLine(const std::wstring& text);
    // Message 1976: files completed so far and the total.
    void SendFileCount(int completed, int total);
    // Message 1977: the description text of the update, in a block made for
    // this message alone.
    void SendDescription(const std::wstring& text);
    // Message 1978 to every window: size of the current file and bytes
    // received so far.
    void SendByteProgress(long size, long received);
    // Message 1034 to the host window (nothing when there is none).
    void SendStatusText(const std::wstring& text);
    // Message 1034 to the given window, with `value` as lParam. A window
    // that is not listed must be one of this process (it reads the text in
    // the sender's memory); another process's window gets nothing.
    void SendStatusText(HWND window, const std::wstring& text, LPARAM value = 0);

    // Decommits every text block, closes the process handles and forgets
    // every window.
    void ReleaseAll();

    // The host window of the command line (receives SendStatusText(text)).
    void SetHostWindow(HWND window);
    // Folder removed from text lines; the executable's folder by default.
    void SetApplicationFolder(std::wstring folder);
    // Supplies the working folder, removed from status texts.
    void SetWorkFolderSource(std::function<std::wstring()> source);
    // Told (once per window, on the sending thread) when a window stops
    // answering and is skipped from then on.
    void SetUnresponsiveHandler(std::function<void(HWND)> handler);

    // Whether the window asked to end the run when it is gone. A destroyed
    // window has lost its properties, so the value seen while it still
    // existed is what counts.
    [[nodiscard]] bool ExitWhenKilled(HWND window);

private:
    struct Receiver;
    using ReceiverList = std::vector<std::shared_ptr<Receiver>>;

    [[nodiscard]] ReceiverList Snapshot() const;
    [[nodiscard]] std::shared_ptr<Receiver> Find(HWND window) const;
    void SendText(Receiver& receiver, UINT message, const std::wstring& text, LPARAM value);
    // One message with the time-out; false when it was not delivered.
    bool Send(Receiver& receiver, UINT message, WPARAM wParam, LPARAM lParam);
    [[nodiscard]] std::wstring ApplicationFolder();

    mutable std::mutex mutex_;
    std::vector<HWND> windows_;
    std::map<HWND, std::shared_ptr<Receiver>> receivers_;
    HWND hostWindow_ = nullptr;
    SettableFolder applicationFolder_;
    std::function<std::wstring()> workFolder_;
    std::function<void(HWND)> unresponsive_;
};

// The text a receiver finds in its block: cut to leave room for the NUL
// (never between the halves of a surrogate pair), zero-filled to the end.
[[nodiscard]] std::wstring TextBlockFor(const std::wstring& text);

}  // namespace mf
