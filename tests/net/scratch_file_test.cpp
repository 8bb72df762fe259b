// The file a download writes: nothing of it is left when the process ends
// in the middle, at whatever moment.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "base/handles.h"
#include "engine/paths.h"
#include "net/scratch_file.h"
#include "net_test_support.h"
#include "support/test_support.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::FreshEngine;

constexpr const wchar_t* kFolderVariable = L"MF_SCRATCH_CHILD_FOLDER";
constexpr const wchar_t* kLoopingEvent = L"MirefoldTestScratchChildLooping";

// Run only as a child process by the test below: several threads make and
// drop scratch files as fast as they can, as downloads do, until killed.
TEST(ScratchFileChild, DISABLED_MakeFilesUntilKilled) {
    wchar_t folder[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(kFolderVariable, folder, MAX_PATH) == 0) GTEST_SKIP() << "child only";
    FreshEngine engine;
    ProcessState& state = engine.state();
    UniqueHandle looping(::CreateEventW(nullptr, TRUE, FALSE, kLoopingEvent));
    if (::GetEnvironmentVariableW(L"MF_SCRATCH_ONCE", nullptr, 0) != 0) {
        ScratchFile file = ScratchFile::CreateToRename(std::wstring(folder) + L"\\once.part");
        ::SetEvent(looping.get());
        ::Sleep(INFINITE);
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            ScopedProcessState mine(state);
            const std::wstring path = std::wstring(folder) + L"\\file" + std::to_wstring(t) + L".part";
            for (int i = 0; i < 200000; ++i) {
                ScratchFile file = ScratchFile::CreateToRename(path);
                ASSERT_TRUE(file);
                if (i == 10) ::SetEvent(looping.get());
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
}

std::wstring OwnPath() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// The downloader's ".part" file, made and then marked for removal, left a
// moment in which the end of the process kept it, empty: it is made with its
// removal at once.
TEST(ScratchFile, AProcessKilledAtAnyMomentLeavesNoFile) {
    FreshEngine env;
    for (int round = 0; round < 6; ++round) {
        ::SetEnvironmentVariableW(L"MF_SCRATCH_ONCE", round == 0 ? L"1" : nullptr);
        test::TempFolder folder;
        UniqueHandle looping(::CreateEventW(nullptr, TRUE, FALSE, kLoopingEvent));
        ::ResetEvent(looping.get());
        ::SetEnvironmentVariableW(kFolderVariable, folder.path().c_str());
        test::ChildProcess child = test::ChildProcess::Start(
            L"\"" + OwnPath() +
            L"\" --gtest_also_run_disabled_tests --gtest_filter=ScratchFileChild.DISABLED_MakeFilesUntilKilled");
        ::SetEnvironmentVariableW(kFolderVariable, nullptr);
        ASSERT_TRUE(child.started());
        ASSERT_EQ(::WaitForSingleObject(looping.get(), 30000), static_cast<DWORD>(WAIT_OBJECT_0));
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 17 * round));
        child.Kill();
        ASSERT_TRUE(child.Wait(10s));
        EXPECT_TRUE(test::WaitUntil([&] { return test::NamesIn(folder.path()).empty(); }, 5s))
            << "round " << round << ": "
            << (test::NamesIn(folder.path()).empty() ? L"" : test::NamesIn(folder.path())[0]);
    }
}

// What a download writes is kept only when it is asked to be, under its
// own name or another (replacing what stood there).
TEST(ScratchFile, KeptOnlyWhenAsked) {
    FreshEngine env;
    const std::wstring dropped = env.folder() / L"dropped.part";
    const std::wstring kept = env.folder() / L"kept.part";
    const std::wstring renamed = env.folder() / L"renamed.part";
    const std::wstring target = env.folder() / L"target.bin";
    test::WriteFileBytes(target, "an older copy");
    {
        ScratchFile a = ScratchFile::CreateToRename(dropped);
        ScratchFile b = ScratchFile::Create(kept);
        ScratchFile c = ScratchFile::CreateToRename(renamed);
        ASSERT_TRUE(a && b && c);
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(b.get(), "bytes", 5, &written, nullptr));
        ASSERT_TRUE(b.Keep());
        ASSERT_TRUE(::WriteFile(c.get(), "new bytes", 9, &written, nullptr));
        ASSERT_TRUE(c.KeepAs(target));
    }
    EXPECT_FALSE(FileExists(dropped));
    EXPECT_FALSE(FileExists(renamed));
    EXPECT_EQ(test::ReadFileBytes(kept), "bytes");
    EXPECT_EQ(test::ReadFileBytes(target), "new bytes");
}

}  // namespace
}  // namespace mf
