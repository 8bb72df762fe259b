// How a file is cut into parts for the ranged downloader.
#pragma once

#include <cstdint>
#include <vector>

namespace mf {

inline constexpr std::int32_t kMinimumBlockSize = 51200;

struct BlockPlan {
    std::int32_t blockSize = 0;
    std::int32_t partCount = 0;
};

struct BlockRange {
    std::int32_t offset = 0;
    std::int32_t length = 0;
};

// About three quarters of size / threads, a multiple of 1024 and at least
// 51200 bytes, so that a few parts are left to start when the first end.
BlockPlan PlanBlocks(std::int32_t size, std::int32_t threadCount);

// Offset and length of part `index` (the last part takes the rest).
BlockRange PartRange(const BlockPlan& plan, std::int32_t size, std::int32_t index);

// The most the first request of a download asks for: its reply tells the
// size and is already the file's first bytes, so that a file up to this
// size takes one request. A part's later requests ask for no more either:
// what an idle connection may take over from a slow part is what lies
// beyond its current request.
inline constexpr std::int32_t kRequestSpan = 2 * 1024 * 1024;

// The ranges that the connections of a download fetch, one range per
// connection: the bytes [0, firstEnd) of the first reply, already open, when
// firstEnd > 0; the rest cut into at most `connections` (less the first)
// runs of consecutive blocks, the first of them starting where the first
// reply ends. A range may cover several blocks and begin inside one; each
// byte's progress still goes under the block that holds it.
std::vector<BlockRange> PlanRuns(const BlockPlan& plan, std::int32_t size, std::int32_t firstEnd,
                                 std::int32_t connections);

}  // namespace mf
