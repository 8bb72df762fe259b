// The pace rules of a request: the lowest speed over a window and a file's
// deadline by its size.
#include <gtest/gtest.h>

#include <vector>

#include "net/net_limits.h"
#include "net/request_pace.h"

namespace mf {
namespace {

// Arrivals (at ms, bytes) against 1000 bytes/s over 1000 ms, and what the
// last one is judged.
TEST(RequestPace, LowestSpeedOverAWindow) {
    struct Arrival {
        std::uint64_t at;
        std::int64_t bytes;
    };
    struct Case {
        const char* name;
        std::vector<Arrival> arrivals;
        Pace last;
    };
    const Case cases[] = {
        {"inside the first window", {{100, 1}, {900, 1}}, Pace::Ok},
        {"a window with too few bytes", {{500, 10}, {1000, 10}}, Pace::TooSlow},
        {"a window with enough bytes", {{500, 600}, {1000, 400}}, Pace::Ok},
        {"enough, then a slow window", {{1000, 1000}, {1500, 10}, {2100, 10}}, Pace::TooSlow},
        {"a late look judges the whole time", {{5000, 4000}}, Pace::TooSlow},
        {"a late look with enough bytes", {{5000, 5000}}, Pace::Ok},
    };
    for (const Case& c : cases) {
        RequestPace pace(1000, 1000, 0);
        Pace last = Pace::Ok;
        for (const Arrival& a : c.arrivals) last = pace.Note(a.bytes, a.at);
        EXPECT_EQ(last, c.last) << c.name;
    }
}

TEST(RequestPace, RestartBeginsANewWindow) {
    RequestPace pace(1000, 1000, 0);
    EXPECT_EQ(pace.Note(0, 900), Pace::Ok);
    pace.Restart(900);
    EXPECT_EQ(pace.Note(10, 1800), Pace::Ok);
    EXPECT_EQ(pace.Note(10, 1900), Pace::TooSlow);
}

TEST(RequestPace, DeadlineEndsEvenAFastReply) {
    RequestPace pace(1000, 1000, 0);
    pace.SetDeadline(3000);
    EXPECT_EQ(pace.Note(1 << 20, 2999), Pace::Ok);
    EXPECT_EQ(pace.Note(1 << 20, 3000), Pace::Expired);
}

TEST(RequestPace, FileDeadlineGrowsWithTheSize) {
    NetLimits limits;
    limits.deadlineBaseMs = 1000;
    limits.deadlineBytesPerSecond = 4096;
    struct Case {
        std::int64_t bytes;
        std::uint64_t ms;
    };
    const Case cases[] = {
        {-1, 1000}, {0, 1000}, {2048, 1500}, {4096, 2000}, {120LL * 1000 * 1000, 1000 + 29296875},
    };
    for (const Case& c : cases) EXPECT_EQ(FileDeadlineMs(limits, c.bytes), c.ms) << c.bytes;
}

}  // namespace
}  // namespace mf
