#include "net/block_plan.h"

#include <algorithm>

namespace mf {

BlockPlan PlanBlocks(std::int32_t size, std::int32_t threadCount) {
    BlockPlan plan;
    const std::int32_t threads = std::max<std::int32_t>(threadCount, 1);
    // 64-bit in between: three times half of a size near 2 GiB overflows.
    std::int64_t block = static_cast<std::int64_t>(size / threads) * 3 / 4;
    block -= block % 1024;
    plan.blockSize = static_cast<std::int32_t>(std::max<std::int64_t>(block, kMinimumBlockSize));
    plan.partCount = std::max<std::int32_t>(size / plan.blockSize + (size % plan.blockSize != 0 ? 1 : 0), 1);
    return plan;
}

BlockRange PartRange(const BlockPlan& plan, std::int32_t size, std::int32_t index) {
    BlockRange range;
    range.offset = static_cast<std::int32_t>(static_cast<std::int64_t>(index) * plan.blockSize);
    range.length = std::max(std::min(plan.blockSize, size - range.offset), 0);
    return range;
}

std::vector<BlockRange> PlanRuns(const BlockPlan& plan, std::int32_t size, std::int32_t firstEnd,
                                 std::int32_t connections) {
    std::vector<BlockRange> runs;
    std::int32_t slots = std::max<std::int32_t>(connections, 1);
    std::int32_t start = 0;
    if (firstEnd > 0) {
        start = std::min(firstEnd, size);
        runs.push_back({0, start});
        slots = std::max<std::int32_t>(slots - 1, 1);
    }
    if (start >= size || plan.blockSize < 1) return runs;
    const std::int32_t firstBlock = start / plan.blockSize;
    const std::int32_t blocks = std::max<std::int32_t>(plan.partCount - firstBlock, 1);
    const std::int32_t count = std::min(slots, blocks);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int64_t from = static_cast<std::int64_t>(firstBlock) + static_cast<std::int64_t>(i) * blocks / count;
        const std::int64_t to =
            static_cast<std::int64_t>(firstBlock) + static_cast<std::int64_t>(i + 1) * blocks / count;
        const std::int64_t offset = std::max<std::int64_t>(from * plan.blockSize, start);
        const std::int64_t end = std::min<std::int64_t>(to * plan.blockSize, size);
        if (end > offset) runs.push_back({static_cast<std::int32_t>(offset), static_cast<std::int32_t>(end - offset)});
    }
    return runs;
}

}  // namespace mf
