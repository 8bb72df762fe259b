#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "base/files.h"
#include "base/strings.h"
#include "engine/process_list.h"
#include "engine/window_iterator.h"
#include "support/test_main_program.h"

namespace mf {
namespace {

using namespace std::chrono_literals;

// A list source of `size` ids that answers the way the system does: it
// fills what fits and reports either the bytes written (EnumProcesses) or
// the bytes the whole list needs (EnumProcessModules).
struct FakeList {
    std::size_t size = 0;
    bool reportsNeeded = false;
    std::vector<DWORD> askedCapacities;

    bool operator()(DWORD* buffer, DWORD bytes, DWORD* used) {
        const std::size_t capacity = bytes / sizeof(DWORD);
        askedCapacities.push_back(static_cast<DWORD>(capacity));
        const std::size_t written = std::min(size, capacity);
        for (std::size_t i = 0; i < written; ++i) buffer[i] = static_cast<DWORD>(i * 4 + 8);
        *used = static_cast<DWORD>((reportsNeeded ? size : written) * sizeof(DWORD));
        return true;
    }
};

TEST(GrowingList, ReadsEveryEntryWhateverTheCount) {
    struct Case {
        std::size_t size;
        std::vector<DWORD> capacities;
    };
    const Case cases[] = {
        {0, {1024}},
        {1, {1024}},
        {1023, {1024}},
        {1024, {1024, 2048}},  // a full buffer may hide more: asked again
        {1025, {1024, 2048}},
        {3000, {1024, 2048, 4096}},
        {5000, {1024, 2048, 4096, 8192}},
    };
    for (const bool reportsNeeded : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "size " << c.size << (reportsNeeded ? ", needed bytes" : ""));
            FakeList source{c.size, reportsNeeded, {}};
            const std::vector<DWORD> ids = ReadGrowingList<DWORD>(std::ref(source));
            ASSERT_EQ(ids.size(), c.size);
            for (std::size_t i = 0; i < ids.size(); ++i) ASSERT_EQ(ids[i], i * 4 + 8);
            EXPECT_EQ(source.askedCapacities, c.capacities);
        }
    }
}

TEST(GrowingList, FailureGivesNothingAndASourceThatAlwaysFillsIsNotFollowedForever) {
    int calls = 0;
    EXPECT_TRUE(ReadGrowingList<DWORD>([&](DWORD*, DWORD, DWORD*) {
                    ++calls;
                    return false;
                }).empty());
    EXPECT_EQ(calls, 1);

    std::vector<DWORD> asked;
    const std::vector<DWORD> ids = ReadGrowingList<DWORD>([&](DWORD*, DWORD bytes, DWORD* used) {
        asked.push_back(bytes / sizeof(DWORD));
        *used = bytes;
        return true;
    });
    EXPECT_EQ(ids.size(), kListCapacityLimit);
    EXPECT_EQ(asked.back(), kListCapacityLimit);
    EXPECT_EQ(asked.size(), 11u);  // 1024 ... 1048576
}

TEST(ProcessList, FindsThisProcessAndItsExecutable) {
    const std::vector<DWORD> ids = EnumerateProcessIds();
    EXPECT_NE(std::find(ids.begin(), ids.end(), ::GetCurrentProcessId()), ids.end());
    EXPECT_TRUE(EqualsNoCase(MainModulePath(::GetCurrentProcessId()), ExecutablePath()));
    EXPECT_GT(EnumerateModules(::GetCurrentProcessId()).size(), 1u);  // the program and its system libraries
}

TEST(ProcessList, AProcessThatCannotBeOpenedHasNoModules) {
    // Ids are multiples of 4: this one names no process.
    EXPECT_TRUE(MainModulePath(0x7FFFFFF1).empty());
    EXPECT_TRUE(EnumerateModules(0x7FFFFFF1).empty());
    // An ended process can no longer be inspected either.
    DWORD ended = 0;
    {
        test::TestMainProgram program;
        ASSERT_TRUE(program.ready());
        ended = program.id();
        EXPECT_TRUE(EndsWithNoCase(MainModulePath(ended), L"\\mirefold-testmain.exe"));
        program.Kill();
    }
    EXPECT_TRUE(MainModulePath(ended).empty());
}

TEST(MainWindows, AVisibleWindowIsTheMainWindowAndHiddenWindowsAreNone) {
    test::TestMainProgram visible;
    test::TestMainProgram hidden(L"--hidden");
    ASSERT_TRUE(visible.ready());
    ASSERT_TRUE(hidden.ready());

    const std::vector<HWND> windows = MainWindowsOf(visible.id());
    ASSERT_FALSE(windows.empty());
    EXPECT_EQ(windows.front(), visible.window());
    EXPECT_TRUE(MainWindowsOf(hidden.id()).empty());
    EXPECT_TRUE(::IsWindow(hidden.window()));
}

TEST(MainWindows, WindowsBeyondTheCapacityAreDropped) {
    test::TestMainProgram program;
    ASSERT_TRUE(program.ready());
    CWindowIterator all;
    all.Collect();
    EXPECT_NE(std::find(all.Windows().begin(), all.Windows().end(), program.window()), all.Windows().end());
    CWindowIterator first(1);
    first.Collect();
    ASSERT_EQ(first.Count(), 1u);
    EXPECT_EQ(first.First(), all.First());
    CWindowIterator none(0);
    none.Collect();
    EXPECT_EQ(none.First(), nullptr);
}

}  // namespace
}  // namespace mf
