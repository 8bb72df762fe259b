// A window of the engine's own process that was skipped after a send timed
// out gets messages again once it registers again (the launcher does, when
// it starts its worker).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "base/messages.h"
#include "engine/process_state.h"
#include "support/engine_fixture.h"

namespace mf {
namespace {

std::atomic<int> statuses{0};
std::atomic<bool> stall{false};
std::atomic<bool> busy{false};

LRESULT CALLBACK SlowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == msg::kStatus) {
        ++statuses;
        if (stall.exchange(false)) {
            busy = true;
            ::Sleep(6000);  // longer than a send may wait
            busy = false;
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

TEST(OwnWindowNotifications, AWindowThatRegistersAgainIsNoLongerSkipped) {
    test::FreshEngine engine;
    WNDCLASSW wc{};
    wc.lpfnWndProc = SlowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MirefoldSlowReceiver";
    ::RegisterClassW(&wc);
    std::atomic<HWND> window{nullptr};
    std::atomic<DWORD> threadId{0};
    std::thread owner([&] {
        threadId = ::GetCurrentThreadId();
        window = ::CreateWindowW(L"MirefoldSlowReceiver", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
        MSG m;
        while (::GetMessageW(&m, nullptr, 0, 0) > 0) ::DispatchMessageW(&m);
        ::DestroyWindow(window);
    });
    ASSERT_TRUE(test::WaitUntil([&] { return window.load() != nullptr; }, std::chrono::seconds(5)));
    ::SetPropW(window, L"mirefold.needmsg", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(msg::kStatus)));
    NotificationWindows& list = engine.state().notifications;
    list.Register(window);

    stall = true;
    list.BroadcastStatus(1, 0);  // times out: skipped
    list.BroadcastStatus(3, 0);  // not sent
    ASSERT_TRUE(test::WaitUntil([] { return statuses.load() == 1 && !busy.load(); }, std::chrono::seconds(10)));
    EXPECT_EQ(statuses.load(), 1);

    list.Register(window);
    list.BroadcastStatus(4, 0);
    EXPECT_EQ(statuses.load(), 2);

    list.Unregister(window);
    ::PostThreadMessageW(threadId, WM_QUIT, 0, 0);
    owner.join();
}

}  // namespace
}  // namespace mf
