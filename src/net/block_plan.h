// How a file is cut into parts for the ranged downloader.
#pragma once

#include <cstdint>

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

}  // namespace mf
