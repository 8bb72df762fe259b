#include "net_test_support.h"

#include "base/strings.h"
#include "net/internet.h"

namespace mf::test {

std::wstring FaultUrl(const std::wstring& rest) { return ServerUrl(L"faultserver") + rest; }

int FaultRequestCount(const std::wstring& tag) {
    MemorySink reply;
    if (!HttpGetToSink(FaultUrl(L"count?tag=" + tag), reply)) return -1;
    return static_cast<int>(ParseLong(Widen(reply.data(), CodePage::Utf8)));
}

std::string PatternBytes(std::int64_t start, std::int64_t end) {
    std::string out;
    out.reserve(static_cast<std::size_t>(end - start));
    for (std::int64_t i = start; i < end; ++i) out.push_back(static_cast<char>(i % 251));
    return out;
}

std::string RandomBytes(std::size_t count, std::uint32_t seed) {
    std::string out(count, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (char& c : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    return out;
}

MessageRecorder::MessageRecorder() {
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, ready] { Run(ready); });
    ::WaitForSingleObject(ready, 10000);
    ::CloseHandle(ready);
}

MessageRecorder::~MessageRecorder() {
    if (threadId_ != 0) ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    if (window_ != nullptr) ::PostMessageW(window_, WM_CLOSE, 0, 0);
    if (thread_.joinable()) thread_.join();
}

void MessageRecorder::Run(HANDLE ready) {
    static const wchar_t kClass[] = L"MirefoldNetTestRecorder";
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClass;
    ::RegisterClassW(&wc);  // fails harmlessly when registered before
    window_ = ::CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
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

LRESULT CALLBACK MessageRecorder::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MessageRecorder*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && message >= WM_USER) {
        std::lock_guard lock(self->mutex_);
        self->messages_.push_back({message, wParam, lParam});
        if (self->observer_) self->observer_(self->messages_.back());
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

std::vector<RecordedMessage> MessageRecorder::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<RecordedMessage> MessageRecorder::Messages(UINT message) const {
    std::vector<RecordedMessage> out;
    for (const RecordedMessage& m : Messages()) {
        if (m.message == message) out.push_back(m);
    }
    return out;
}

}  // namespace mf::test
