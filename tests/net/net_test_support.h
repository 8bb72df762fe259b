// What the network tests share: the test servers' addresses, generated file
// contents, and a window that records the progress messages it receives.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/engine_fixture.h"
#include "support/test_servers.h"
#include "support/test_support.h"

namespace mf::test {

// Bytes [start, end) of the fault server's generated files (i % 251).
std::string PatternBytes(std::int64_t start, std::int64_t end);
// Deterministic pseudo-random bytes.
std::string RandomBytes(std::size_t count, std::uint32_t seed);

// The fault server's address for `rest` (path and query).
std::wstring FaultUrl(const std::wstring& rest);
// How many requests the fault server has counted under `tag` (-1: no answer).
int FaultRequestCount(const std::wstring& tag);

struct RecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A message-only window on a thread of its own, so that the downloader's
// synchronous sends are answered while the test thread waits.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    [[nodiscard]] HWND window() const { return window_; }
    [[nodiscard]] std::vector<RecordedMessage> Messages() const;
    [[nodiscard]] std::vector<RecordedMessage> Messages(UINT message) const;
    // Called on the window's thread with every message as it arrives (set
    // before the messages come).
    void Observe(std::function<void(const RecordedMessage&)> observer) { observer_ = std::move(observer); }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Run(HANDLE ready);

    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<RecordedMessage> messages_;
    std::function<void(const RecordedMessage&)> observer_;
};

}  // namespace mf::test
