// The update worker that a window starts: one at a time, and its commands to
// the owner window.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "app/flows.h"
#include "base/files.h"
#include "base/messages.h"
#include "base/strings.h"
#include "engine/process_state.h"
#include "support/engine_fixture.h"
#include "support/recording_window.h"
#include "support/test_servers.h"
#include "support/test_support.h"

namespace mf {
namespace {

class UpdateWorkerTest : public test::EngineFixture {
protected:
    UpdateWorkerTest() {
        // A list of a few hundred kilobytes from the rate-limited location,
        // so that the check takes a few seconds.
        std::string list = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update>\r\n<!--";
        list.append(1500000, ' ');
        list += "-->\r\n</update>\r\n";
        EXPECT_TRUE(site_.Publish(L"update.xml", list));
        EXPECT_TRUE(site_.Publish(L"main.xml", "<?xml version=\"1.0\"?>\r\n<update></update>\r\n"));
        state().config.Cache(L"UPDATEINFO", L"ListURL", site_.LimitedUrl(L"update.xml"));
        state().config.Cache(L"UPDATEINFO", L"MainListURL", site_.Url(L"main.xml"));
        state().config.Cache(L"Mirefold", L"QuickCheck", L"0");
    }

    test::NginxSite site_{L"worker"};
};

TEST_F(UpdateWorkerTest, ASecondWorkerReturnsAtOnceWhileOneRuns) {
    test::RecordingWindow owner;
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
