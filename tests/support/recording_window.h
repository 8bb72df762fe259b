// A window that records what the engine sends or posts it: its owner
// window's messages (progress, status texts, phase states) and commands.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mf::test {

struct RecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::wstring text;  // status texts (1034): the text the engine sent
};

class RecordingWindow {
public:
    enum class Thread {
        // A message-only window on a thread of its own, so that the engine's
        // synchronous sends are answered while the test thread waits.
        Own,
        // A hidden window of the calling thread, which answers its messages
        // itself: a top-level window that message boxes can be owned by, or
        // a child of `parent`.
        This,
    };
    explicit RecordingWindow(Thread thread = Thread::Own, HWND parent = nullptr);
    ~RecordingWindow();
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    [[nodiscard]] HWND window() const { return window_; }
    // Every message from WM_USER on and every WM_COMMAND, in arrival order.
    [[nodiscard]] std::vector<RecordedMessage> Messages() const;
    [[nodiscard]] std::vector<RecordedMessage> Messages(UINT message) const;
    // The texts of message 1034, and whether one was exactly `text`.
    [[nodiscard]] std::vector<std::wstring> StatusTexts() const;
    [[nodiscard]] bool Shown(const std::wstring& text) const;
    // Message 1057: "<lParam>:<wParam>" in arrival order, e.g. "8:0", "7:0".
    [[nodiscard]] std::vector<std::wstring> PhaseStates() const;
    // The identifiers of the WM_COMMAND messages.
    [[nodiscard]] std::vector<UINT> Commands() const;
    // Called on the window's thread with every message as it is recorded
    // (set before the messages come).
    void Observe(std::function<void(const RecordedMessage&)> observer) { observer_ = std::move(observer); }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Create(HWND parent, bool messageOnly);
    void Run(HANDLE ready);

    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<RecordedMessage> messages_;
    std::function<void(const RecordedMessage&)> observer_;
};

}  // namespace mf::test
