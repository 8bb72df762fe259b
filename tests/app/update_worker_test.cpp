// The update worker that a window starts: one at a time, and its commands to
// the owner window.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "app/flows.h"
#include "base/files.h"
#include "base/messages.h"
#include "base/strings.h"
#include "engine/process_state.h"
#include "support/engine_fixture.h"
#include "support/test_servers.h"
#include "support/test_support.h"

namespace mf {
namespace {

// A window on a thread of its own that records the WM_COMMAND identifiers
// it receives, so that the worker's synchronous sends are answered.
class CommandRecorder {
public:
    CommandRecorder() {
        thread_ = std::thread([this] {
            threadId_.store(::GetCurrentThreadId());
            WNDCLASSW wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = L"MirefoldWorkerOwner";
            ::RegisterClassW(&wc);
            HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                            wc.hInstance, nullptr);
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            window_.store(window);
            MSG msg;
            while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
            ::DestroyWindow(window);
        });
        test::WaitUntil([&] { return window_.load() != nullptr; }, std::chrono::seconds(10));
    }
    ~CommandRecorder() {
        ::PostThreadMessageW(threadId_.load(), WM_QUIT, 0, 0);
        thread_.join();
    }
    [[nodiscard]] HWND window() const { return window_.load(); }
    [[nodiscard]] std::vector<UINT> Commands() {
        std::lock_guard guard(mutex_);
        return commands_;
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COMMAND) {
            auto* self = reinterpret_cast<CommandRecorder*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
            if (self != nullptr) {
                std::lock_guard guard(self->mutex_);
                self->commands_.push_back(LOWORD(wParam));
            }
            return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    std::thread thread_;
    std::atomic<HWND> window_{nullptr};
    std::atomic<DWORD> threadId_{0};
    std::mutex mutex_;
    std::vector<UINT> commands_;
};

class UpdateWorkerTest : public test::EngineFixture {
protected:
    UpdateWorkerTest() {
        const std::wstring site = L"worker/" + Widen(::testing::UnitTest::GetInstance()->current_test_info()->name());
        CreateFolderTree(test::WwwPath(Replaced(site, L"/", L"\\")));
        // A list of a few hundred kilobytes from the rate-limited location,
        // so that the check takes a few seconds.
        std::string list = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update>\r\n<!--";
        list.append(1500000, ' ');
        list += "-->\r\n</update>\r\n";
        test::WriteFileBytes(test::WwwPath(Replaced(site + L"/update.xml", L"/", L"\\")), list);
        test::WriteFileBytes(test::WwwPath(Replaced(site + L"/main.xml", L"/", L"\\")),
                             "<?xml version=\"1.0\"?>\r\n<update></update>\r\n");
        const std::wstring base = test::ServerUrl(L"nginx");
        state().config.Cache(L"UPDATEINFO", L"ListURL", base + L"limited/" + site + L"/update.xml");
        state().config.Cache(L"UPDATEINFO", L"MainListURL", base + site + L"/main.xml");
        state().config.Cache(L"Mirefold", L"QuickCheck", L"0");
    }
};

TEST_F(UpdateWorkerTest, ASecondWorkerReturnsAtOnceWhileOneRuns) {
    CommandRecorder owner;
    ASSERT_NE(owner.window(), nullptr);
    std::atomic<int> first{-1};
    std::thread worker([&] {
        ScopedProcessState use(state());
        first = UpdateWorker(owner.window());
    });
    ASSERT_TRUE(test::WaitUntil([&] { return state().updateList.Status() == UpdateStatus::CheckRemote; },
                                std::chrono::seconds(20)));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(UpdateWorker(owner.window()), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    worker.join();
    EXPECT_EQ(first.load(), 1);
    // The first worker checked (nothing to update), had nothing to install
    // and finished: 4323, then 4380, and nothing from the second.
    const std::vector<UINT> commands = owner.Commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[commands.size() - 2], cmd::kInstallDone);
    EXPECT_EQ(commands.back(), cmd::kWorkerDone);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), cmd::kWorkerDone), 1);
    // Once it has finished, a worker may run again.
    state().updateList.SetStatus(UpdateStatus::None);
    EXPECT_EQ(UpdateWorker(nullptr), 1);
}

}  // namespace
}  // namespace mf
