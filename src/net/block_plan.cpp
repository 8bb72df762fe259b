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

}  // namespace mf
