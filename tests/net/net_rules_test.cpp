// The rules of the network layer that need no server: URL joining and
// escaping, the proxy setting, block planning and the shared value table.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "net/block_plan.h"
#include "net/internet.h"
#include "net/part_transfer.h"
#include "net/thread_value_table.h"
#include "net/url_text.h"

namespace mf {
namespace {

TEST(JoinUrl, SlashesAndSchemes) {
    struct Case { const wchar_t* base; const wchar_t* relative; const wchar_t* url; };
    const Case cases[] = {
        {L"http://h/a", L"x\\y.dll", L"http://h/a/x/y.dll"},
        {L"http://h/a/", L"b.txt", L"http://h/a//b.txt"},     // three slashes collapse to two
        {L"http://h/a", L"", L"http://h/a"},
        {L"http://h\\a\\", L"", L"http://h/a/"},
        {L"HTTP://H/a", L"b", L"HTTP://H/a/b"},
        {L"https://h/a", L"b", L"https://h/a/b"},
        {L"ftp://h/a", L"b", L"ftp:/h/a/b"},
    };
    for (const Case& c : cases) EXPECT_EQ(JoinUrl(c.base, c.relative), c.url) << c.base << L" + " << c.relative;
}

TEST(EncodeUrlText, EscapesWhatServersChokeOn) {
    struct Case { const wchar_t* text; const wchar_t* encoded; };
    const Case cases[] = {
        {L"a b+c%", L"a%20b%2Bc%25"},
        {L"abc\\x.dll", L"abc%5Cx.dll"},
        {L"http://h:8/d/x y.zip?a=1&b=2", L"http://h:8/d/x%20y.zip?a=1&b=2"},
        {L"a~b[c]{d}|e^f`g\"h<i>#", L"a%7Eb%5Bc%5D%7Bd%7D%7Ce%5Ef%60g%22h%3Ci%3E%23"},
        {L"50%20", L"50%2520"},
        {L"\u9898\u5e93.zip", L"%E9%A2%98%E5%BA%93.zip"},
        {L"\u00e9 \u00e9", L"%C3%A9%20%C3%A9"},  // two-byte characters get no padding
        {L"x\U0001F600", L"x%F0%9F%98%80"},     // a surrogate pair is one character
        {L"tab\there", L"tab%09here"},
        {L"$&+,./:;=?@-_!*()'", L"$&%2B,./:;=?@-_!*()'"},
    };
    for (const Case& c : cases) EXPECT_EQ(EncodeUrlText(c.text), c.encoded) << c.text;
}

TEST(ContentRange, OneSatisfiedRangeOrNothing) {
    struct Case { const wchar_t* text; bool valid; std::int64_t first, last, total; };
    const Case cases[] = {
        {L"bytes 0-0/1234", true, 0, 0, 1234},
        {L"bytes 51200-102399/300000", true, 51200, 102399, 300000},
        {L"BYTES 5-9/10", true, 5, 9, 10},
        {L"bytes 0-0/*", true, 0, 0, -1},         // valid, but no complete length
        {L"bytes 0-99/50", false, 0, 99, 50},     // past the end
        {L"bytes 9-5/10", false, 9, 5, 10},
        {L"bytes */1234", false, -1, 0, 1234},    // the unsatisfied form
        {L"bytes 0-0/12x", false, 0, 0, -1},
        {L"items 0-0/10", false, 0, 0, -1},
        {L"", false, 0, 0, -1},
        {L"bytes 0-0/99999999999999999999", true, 0, 0, INT64_MAX},  // refused later by every limit
    };
    for (const Case& c : cases) {
        const ContentRange range = ParseContentRange(c.text);
        EXPECT_EQ(range.valid, c.valid) << c.text;
        if (!c.valid) continue;
        EXPECT_EQ(range.first, c.first) << c.text;
        EXPECT_EQ(range.last, c.last) << c.text;
        EXPECT_EQ(range.total, c.total) << c.text;
    }
    EXPECT_EQ(ContentRangeTotal(L"bytes 0-0/1234"), 1234);
    EXPECT_EQ(ContentRangeTotal(L"bytes 0-0/*"), -1);
    EXPECT_EQ(ContentRangeTotal(L"garbage/77"), -1);
}

TEST(ProxySetting, HostPortAndCredentials) {
    struct Case {
        const wchar_t* proxy; const wchar_t* user;
        bool useProxy; bool valid; const wchar_t* list;
        bool hasUser; const wchar_t* name; bool hasPassword; const wchar_t* password;
    };
    const Case cases[] = {
        {L"", L"u,p", false, true, L"", false, L"", false, L""},
        {L"proxy.lan:8080", L"", true, true, L"HTTP=HTTP://proxy.lan:8080 HTTPS=HTTP://proxy.lan:8080", false, L"",
         false, L""},
        {L"proxy.lan:8080", L"alice", true, true, L"HTTP=HTTP://proxy.lan:8080 HTTPS=HTTP://proxy.lan:8080", true,
         L"alice", false, L""},
        {L"proxy.lan:8080", L"alice,secret", true, true, L"HTTP=HTTP://proxy.lan:8080 HTTPS=HTTP://proxy.lan:8080",
         true, L"alice", true, L"secret"},
        {L"h:1:2", L"a,b,c", true, true, L"HTTP=HTTP://h:1 HTTPS=HTTP://h:1", true, L"a", true, L"b"},
        {L"proxy.lan", L"alice", true, false, L"", false, L"", false, L""},
        {L"proxy.lan:", L"", true, false, L"", false, L"", false, L""},
        {L":8080", L"", true, false, L"", false, L"", false, L""},
    };
    for (const Case& c : cases) {
        const ProxySetting s = ParseProxySetting(c.proxy, c.user);
        EXPECT_EQ(s.useProxy, c.useProxy) << c.proxy;
        EXPECT_EQ(s.valid, c.valid) << c.proxy;
        EXPECT_EQ(s.proxyList, c.list) << c.proxy;
        EXPECT_EQ(s.hasUser, c.hasUser) << c.proxy << L" " << c.user;
        EXPECT_EQ(s.user, c.name) << c.proxy << L" " << c.user;
        EXPECT_EQ(s.hasPassword, c.hasPassword) << c.proxy << L" " << c.user;
        EXPECT_EQ(s.password, c.password) << c.proxy << L" " << c.user;
    }
}

TEST(BlockPlan, PartsOfAFile) {
    struct Case { std::int32_t size; std::int32_t threads; std::int32_t block; std::int32_t parts; std::int32_t last; };
    const Case cases[] = {
        {100000, 8, 51200, 2, 48800},          // 9375 -> 9216 -> raised to the floor
        {10485760, 8, 983040, 11, 655360},
        {1, 8, 51200, 1, 1},
        {51200, 8, 51200, 1, 51200},
        {51201, 8, 51200, 2, 1},
        {4000000, 3, 999424, 5, 2304},
        {INT32_MAX, 2, 805305344, 3, 536872959},  // no overflow near 2 GiB
    };
    for (const Case& c : cases) {
        const BlockPlan plan = PlanBlocks(c.size, c.threads);
        EXPECT_EQ(plan.blockSize, c.block) << c.size;
        EXPECT_EQ(plan.partCount, c.parts) << c.size;
        const BlockRange last = PartRange(plan, c.size, plan.partCount - 1);
        EXPECT_EQ(last.length, c.last) << c.size;
        EXPECT_EQ(static_cast<std::int64_t>(last.offset) + last.length, c.size) << c.size;
    }
}

// The ranges that the connections fetch: the first reply's bytes, then the
// rest in runs of whole blocks, the first starting where the reply ended.
TEST(BlockPlan, RangesOfTheConnections) {
    using Ranges = std::vector<std::pair<std::int32_t, std::int32_t>>;  // offset, length
    struct Case {
        std::int32_t size;
        std::int32_t block;
        std::int32_t parts;
        std::int32_t firstEnd;
        std::int32_t connections;
        Ranges ranges;
    };
    const Case cases[] = {
        {120000, 51200, 3, 120000, 8, {{0, 120000}}},  // one request holds it all
        {3000000, 280576, 11, 2097152, 8,
         {{0, 2097152}, {2097152, 147456}, {2244608, 280576}, {2525184, 280576}, {2805760, 194240}}},
        // No first reply kept: as many runs as connections, of whole blocks.
        {300000, 51200, 6, 0, 4, {{0, 51200}, {51200, 102400}, {153600, 51200}, {204800, 95200}}},
        // Two connections: the first reply, and one run for all the rest.
        {8388608, 3145728, 3, 2097152, 2, {{0, 2097152}, {2097152, 6291456}}},
        // One connection still gets the rest.
        {3000000, 280576, 11, 2097152, 1, {{0, 2097152}, {2097152, 902848}}},
    };
    for (const Case& c : cases) {
        Ranges ranges;
        for (const BlockRange& r : PlanRuns(BlockPlan{c.block, c.parts}, c.size, c.firstEnd, c.connections))
            ranges.emplace_back(r.offset, r.length);
        EXPECT_EQ(ranges, c.ranges) << c.size << " " << c.connections;
    }
}

// An idle connection takes over the far half of a slow part's rest, but
// never bytes the part has already asked for (closing a reply early makes
// WinINet read out its rest), nor a piece below the minimum.
TEST(PartShare, SplitLeavesThePartWhatItAskedFor) {
    constexpr std::int32_t MiB = 1024 * 1024;
    constexpr std::int32_t piece = 512 * 1024;
    struct Case { std::int32_t position; std::int32_t asked; std::int32_t from; std::int32_t to; };
    const Case cases[] = {
        {1 * MiB, 3 * MiB, 11 * MiB / 2, 10 * MiB},  // the half lies beyond the request
        {1 * MiB, 8 * MiB, 8 * MiB, 10 * MiB},       // the request reaches past the half
        {1 * MiB, 10 * MiB - piece + 1, -1, -1},     // what is left past it is too small
        {9 * MiB + 1, 9 * MiB + 1, -1, -1},          // the rest is too small to halve
    };
    for (const Case& c : cases) {
        PartShare share(0, 10 * MiB);
        share.Advance(c.position);
        share.Ask(c.asked);
        const auto [from, to] = share.SplitOff(piece);
        EXPECT_EQ(from, c.from) << c.asked;
        EXPECT_EQ(to, c.to) << c.asked;
        EXPECT_EQ(share.End(), c.from < 0 ? 10 * MiB : c.from) << c.asked;
    }
}

TEST(ThreadValueTable, KeysAbsentValuesAndClamping) {
    EXPECT_EQ(ThreadValueTable::Key(value_kind::kStopFlag, 5), 0x000E000100000005ull);
    EXPECT_EQ(ThreadValueTable::Key(value_kind::kPartBase | 3, 7), 0xD000000300000007ull);
    EXPECT_EQ(ThreadValueTable::Key(value_kind::kStopFlag, -1), 0xFFFFFFFFFFFFFFFFull);  // sign bits ORed in

    ThreadValueTable& table = ThreadValueTable::Instance();
    const std::int32_t id = 0x7100001;
    EXPECT_EQ(table.Get(value_kind::kReceived, id), 0);
    table.Set(value_kind::kReceived, id, 40);
    EXPECT_EQ(table.Get(value_kind::kReceived, id), 40);
    EXPECT_EQ(table.AddClamped(value_kind::kReceived, id, 100, 0, 100), 100);
    EXPECT_EQ(table.AddClamped(value_kind::kReceived, id, -250, 0, 100), 0);
    EXPECT_EQ(table.Add(value_kind::kReceived, id, 3), 3);
    table.Set(value_kind::kReceived, id, 0);
    EXPECT_EQ(table.Get(value_kind::kReceived, id), 0);
}

TEST(ThreadValueTable, AddsFromManyThreadsAreNotLost) {
    ThreadValueTable& table = ThreadValueTable::Instance();
    const std::int32_t id = 0x7100002;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) table.Add(value_kind::kRunning, id, 1);
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(table.Get(value_kind::kRunning, id), 2000);
}

TEST(ThreadValueTable, JobIdsAreUnique) {
    ThreadValueTable& table = ThreadValueTable::Instance();
    const std::int32_t first = table.Add(value_kind::kJobCounter, 0, 1);
    EXPECT_EQ(table.Add(value_kind::kJobCounter, 0, 1), first + 1);
}

}  // namespace
}  // namespace mf
