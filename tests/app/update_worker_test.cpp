// The update worker that a window starts: one runs the phases at a time; a
// worker started meanwhile waits for it and carries on where it ended,
// reporting to its own window, whatever became of the first one's window.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/flows.h"
#include "base/files.h"
#include "base/messages.h"
#include "base/strings.h"
#include "check/background_refresh.h"
#include "engine/asking.h"
#include "engine/process_state.h"
#include "support/engine_fixture.h"
#include "support/recording_window.h"
#include "support/test_servers.h"
#include "support/test_support.h"

namespace mf {
namespace {

constexpr char kBank[] = "question bank\r\n";

class UpdateWorkerTest : public test::EngineFixture {
protected:
    UpdateWorkerTest() {
        // A list of a few hundred kilobytes from the rate-limited location,
        // so that the check takes a few seconds; it names one file.
        std::string list = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update>\r\n<!--";
        list.append(1500000, ' ');
        list += "-->\r\n<file path=\"bank.dat\" ver=\"" + std::to_string(sizeof kBank - 1) + "\"/>\r\n</update>\r\n";
        EXPECT_TRUE(site_.Publish(L"update.xml", list));
        EXPECT_TRUE(site_.Publish(L"bank.dat", kBank));
        EXPECT_TRUE(site_.Publish(L"main.xml", "<?xml version=\"1.0\"?>\r\n<update></update>\r\n"));
        state().config.Cache(L"UPDATEINFO", L"ListURL", site_.LimitedUrl(L"update.xml"));
        state().config.Cache(L"UPDATEINFO", L"MainListURL", site_.Url(L"main.xml"));
        state().config.Cache(L"Mirefold", L"QuickCheck", L"0");
        state().config.Cache(L"Mirefold", L"Log", L"run.log");
        // The list's cache files in the test's own folder, whatever another
        // test of the prefix fetches meanwhile.
        state().config.Cache(L"Mirefold", L"TempPath", InFolder(L"temp"));
        // A first check in hours starts the background refresh: not this
        // test program.
        SetRelaunchStarterForTesting([](const std::wstring&) {});
    }
    void TearDown() override {
        if (HasFailure()) std::cout << ReadInFolder(L"run.log") << "\n";
        EngineFixture::TearDown();
    }

    static bool Finished(const test::RecordingWindow& owner) {
        const std::vector<UINT> commands = owner.Commands();
        return std::find(commands.begin(), commands.end(), cmd::kWorkerDone) != commands.end();
    }

    test::NginxSite site_{L"worker"};
};

// While the running worker's window is there, another start is a second
// one for the same run: refused at once.
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

// The first worker's window went away while it ran (its launcher was
// closed); a second launcher in the same process starts its worker, which
// must not be turned away without a word: it waits, finds the update done
// and tells its own window so.
TEST_F(UpdateWorkerTest, ASecondWorkerWaitsForTheRunningOneAndReportsToItsOwnWindow) {
    auto firstOwner = std::make_unique<test::RecordingWindow>();
    ASSERT_NE(firstOwner->window(), nullptr);
    std::atomic<int> first{-1};
    std::thread firstWorker([&, window = firstOwner->window()] {
        ScopedProcessState use(state());
        first = UpdateWorker(window);
    });
    ASSERT_TRUE(test::WaitUntil([&] { return state().updateList.Status() == UpdateStatus::CheckRemote; },
                                std::chrono::seconds(20)));
    firstOwner.reset();

    test::RecordingWindow secondOwner;
    std::atomic<int> second{-1};
    std::thread secondWorker([&] {
        ScopedProcessState use(state());
        second = UpdateWorker(secondOwner.window());
    });
    firstWorker.join();
    EXPECT_EQ(first.load(), 1);
    EXPECT_TRUE(test::WaitUntil([&] { return Finished(secondOwner); }, std::chrono::seconds(20)))
        << "the second window never heard that its worker finished";
    secondWorker.join();
    EXPECT_EQ(second.load(), 1);

    // The update is done, once: the second worker found it so and checked,
    // fetched and installed nothing again.
    EXPECT_EQ(state().updateList.Status(), UpdateStatus::CopyOk);
    EXPECT_EQ(ReadInFolder(L"bank.dat"), kBank);
    EXPECT_TRUE(secondOwner.Messages(msg::kStatus).empty());
    const std::vector<UINT> commands = secondOwner.Commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[commands.size() - 2], cmd::kInstallDone);
    EXPECT_EQ(commands.back(), cmd::kWorkerDone);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), cmd::kWorkerDone), 1);
}

// An error that nothing below handled ends a worker; the next one still
// runs.
TEST_F(UpdateWorkerTest, AWorkerThatEndsOnAnErrorLeavesTheWayFree) {
    struct ThrowingAsker final : Asker {
        int Ask(const Question&) override { throw std::runtime_error("nobody answers"); }
    };
    // Without a list address the check asks whether to make a sample
    // configuration: the answer throws.
    state().config.Cache(L"UPDATEINFO", L"ListURL", L"");
    {
        test::RecordingWindow owner;
        ThrowingAsker asker;
        const ScopedAsker inPlace(asker);
        EXPECT_THROW((void)UpdateWorker(owner.window()), std::runtime_error);
    }

    state().config.Cache(L"UPDATEINFO", L"ListURL", site_.Url(L"update.xml"));
    state().updateList.SetStatus(UpdateStatus::None);
    test::RecordingWindow owner;
    EXPECT_EQ(UpdateWorker(owner.window()), 1);
    EXPECT_TRUE(Finished(owner));
    EXPECT_EQ(state().updateList.Status(), UpdateStatus::CopyOk);
    EXPECT_EQ(ReadInFolder(L"bank.dat"), kBank);
}

}  // namespace
}  // namespace mf
