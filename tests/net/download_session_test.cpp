// A download session's part workers: they belong to the session, are not
// shared with another one in the same process, and end when it goes.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "base/handles.h"
#include "net/download_session.h"
#include "net_test_support.h"

namespace mf {
namespace {

// Tasks that hold their workers until released, noting which threads ran
// them. What the tasks touch is theirs too, should a test end early.
class HeldTasks {
public:
    ~HeldTasks() { Release(); }
    void SubmitTo(DownloadSession& session) {
        ASSERT_TRUE(session.workers().Submit([shared = shared_](char*) {
            {
                std::lock_guard lock(shared->mutex);
                shared->threads.push_back(::GetCurrentThreadId());
            }
            ::ReleaseSemaphore(shared->started.get(), 1, nullptr);
            ::WaitForSingleObject(shared->release.get(), 10000);
        }));
    }
    // The thread that ran the next task to start.
    UniqueHandle NextStarted() {
        if (::WaitForSingleObject(shared_->started.get(), 10000) != WAIT_OBJECT_0) return {};
        std::lock_guard lock(shared_->mutex);
        return UniqueHandle(::OpenThread(SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE,
                                         shared_->threads[taken_++]));
    }
    void Release() { ::SetEvent(shared_->release.get()); }

private:
    struct Shared {
        std::mutex mutex;
        std::vector<DWORD> threads;
        UniqueHandle started{::CreateSemaphoreW(nullptr, 0, 100, nullptr)};
        UniqueHandle release{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    };
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::size_t taken_ = 0;
};

bool Ended(const UniqueHandle& thread, DWORD milliseconds) {
    return ::WaitForSingleObject(thread.get(), milliseconds) == WAIT_OBJECT_0;
}

TEST(DownloadSession, PartWorkersAreTheSessionsOwnAndEndWithIt) {
    test::FreshEngine env;
    HeldTasks tasks;
    std::optional<DownloadSession> first(std::in_place);
    std::optional<DownloadSession> second(std::in_place);
    tasks.SubmitTo(*first);
    const UniqueHandle firstWorker = tasks.NextStarted();
    ASSERT_TRUE(firstWorker);
    // The first session's worker is busy; the second session starts its own.
    tasks.SubmitTo(*second);
    const UniqueHandle secondWorker = tasks.NextStarted();
    ASSERT_TRUE(secondWorker);
    EXPECT_NE(::GetThreadId(firstWorker.get()), ::GetThreadId(secondWorker.get()));

    tasks.Release();
    // Idle workers wait for their session's next part.
    EXPECT_FALSE(Ended(firstWorker, 300));
    first.reset();
    EXPECT_TRUE(Ended(firstWorker, 10000));
    EXPECT_FALSE(Ended(secondWorker, 0));
    second.reset();
    EXPECT_TRUE(Ended(secondWorker, 10000));
}

}  // namespace
}  // namespace mf
