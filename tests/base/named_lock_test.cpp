#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "base/named_lock.h"

namespace mf {
namespace {

TEST(NamedLock, IsAnAutoResetEventNamedAfterTheId) {
    NamedLockTable table;
    table.Enter(0x7F0001);
    // The event exists under its decimal name and is taken (not signalled).
    UniqueHandle same(::OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, L"Lock8323073"));
    ASSERT_TRUE(same);
    EXPECT_EQ(::WaitForSingleObject(same.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    table.Leave(0x7F0001);
    EXPECT_EQ(::WaitForSingleObject(same.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    ::SetEvent(same.get());
}

TEST(NamedLock, SerialisesThreads) {
    NamedLockTable table;
    std::atomic<int> inside{0};
    std::atomic<bool> overlap{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                ScopedNamedLock lock(0x7F0002, table);
                if (inside.fetch_add(1) != 0) overlap = true;
                std::this_thread::yield();
                inside.fetch_sub(1);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_FALSE(overlap);
}

}  // namespace
}  // namespace mf
