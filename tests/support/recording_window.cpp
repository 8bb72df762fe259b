#include "support/recording_window.h"

#include <algorithm>

#include "base/messages.h"

namespace mf::test {

RecordingWindow::RecordingWindow(Thread thread, HWND parent) {
    if (thread == Thread::This) {
        Create(parent, false);
        return;
    }
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, ready] { Run(ready); });
    ::WaitForSingleObject(ready, 10000);
    ::CloseHandle(ready);
}

RecordingWindow::~RecordingWindow() {
    if (!thread_.joinable()) {
        // A child goes with its parent, which the test may have destroyed.
        if (window_ != nullptr && ::IsWindow(window_)) ::DestroyWindow(window_);
        return;
    }
    if (threadId_ != 0) ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    if (window_ != nullptr) ::PostMessageW(window_, WM_CLOSE, 0, 0);
    thread_.join();
}

void RecordingWindow::Create(HWND parent, bool messageOnly) {
    static const wchar_t kClass[] = L"MirefoldTestRecordingWindow";
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClass;
    ::RegisterClassW(&wc);  // fails harmlessly when registered before
    const DWORD style = parent != nullptr ? WS_CHILD : messageOnly ? 0 : WS_OVERLAPPED;
    window_ = ::CreateWindowExW(0, kClass, L"recorder", style, 0, 0, messageOnly ? 0 : 100, messageOnly ? 0 : 100,
                                messageOnly ? HWND_MESSAGE : parent, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void RecordingWindow::Run(HANDLE ready) {
    Create(nullptr, true);
    threadId_ = ::GetCurrentThreadId();
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here
    ::SetEvent(ready);
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_CLOSE && message.hwnd == window_) break;
        ::DispatchMessageW(&message);
    }
    ::DestroyWindow(window_);
}

LRESULT CALLBACK RecordingWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<RecordingWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && (message >= WM_USER || message == WM_COMMAND)) {
        RecordedMessage recorded{message, wParam, lParam, {}};
        // Not a notification window: the text is in the sender's (this
        // process's) memory, valid while the send lasts.
        if (message == msg::kStatusText && wParam != 0) recorded.text = reinterpret_cast<const wchar_t*>(wParam);
        std::lock_guard lock(self->mutex_);
        self->messages_.push_back(std::move(recorded));
        if (self->observer_) self->observer_(self->messages_.back());
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

std::vector<RecordedMessage> RecordingWindow::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<RecordedMessage> RecordingWindow::Messages(UINT message) const {
    std::vector<RecordedMessage> out;
    for (const RecordedMessage& m : Messages())
        if (m.message == message) out.push_back(m);
    return out;
}

std::vector<std::wstring> RecordingWindow::StatusTexts() const {
    std::vector<std::wstring> texts;
    for (const RecordedMessage& m : Messages(msg::kStatusText)) texts.push_back(m.text);
    return texts;
}

bool RecordingWindow::Shown(const std::wstring& text) const {
    const std::vector<std::wstring> texts = StatusTexts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

std::vector<std::wstring> RecordingWindow::PhaseStates() const {
    std::vector<std::wstring> states;
    for (const RecordedMessage& m : Messages(msg::kPhaseState))
        states.push_back(std::to_wstring(m.lParam) + L":" + std::to_wstring(m.wParam));
    return states;
}

std::vector<UINT> RecordingWindow::Commands() const {
    std::vector<UINT> commands;
    for (const RecordedMessage& m : Messages(WM_COMMAND)) commands.push_back(LOWORD(m.wParam));
    return commands;
}

}  // namespace mf::test
