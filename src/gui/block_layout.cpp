#include "gui/block_layout.h"

#include <algorithm>

namespace mf::gui {

BlockLayout LayoutBlocks(std::int32_t fileSize, std::int32_t blockSize, int width, int height, int cell) {
    BlockLayout layout;
    layout.cell = cell > 0 ? cell : kBlockCellPixels;
    layout.columns = std::max(1, width / layout.cell);
    if (fileSize <= 0 || blockSize <= 0) return layout;
    const int capacity = std::max(1, layout.columns * std::max(0, height / layout.cell));
    const int units = fileSize / kBlockUnitBytes;
    // The smallest n >= 1 with units / n < capacity.
    layout.unitsPerSquare = units / capacity + 1;
    const int blockUnits = blockSize / kBlockUnitBytes;
    if (blockUnits >= kMinSquaresPerPart) {
        layout.squaresPerPart = std::max(kMinSquaresPerPart, blockUnits / layout.unitsPerSquare);
        layout.unitsPerSquare = blockUnits / layout.squaresPerPart;
    } else {
        // Too small a block for 20 squares of whole units.
        layout.squaresPerPart = std::max(1, blockUnits);
        layout.unitsPerSquare = 1;
    }
    const std::int64_t total = static_cast<std::int64_t>(layout.squaresPerPart) * (fileSize / blockSize) +
                               (fileSize % blockSize) / kBlockUnitBytes / layout.unitsPerSquare;
    layout.totalSquares = static_cast<int>(std::min<std::int64_t>(total, INT32_MAX));
    const std::int64_t rows = (static_cast<std::int64_t>(layout.totalSquares) + layout.columns - 1) / layout.columns;
    if (rows * layout.cell > height) layout.columns = std::max(1, (width - kScrollBarRoom) / layout.cell);
    return layout;
}

int SquaresDone(std::int32_t bytes, const BlockLayout& layout) {
    if (bytes <= 0) return 0;
    return bytes / kBlockUnitBytes / std::max(1, layout.unitsPerSquare);
}

int ScrollHeight(const BlockLayout& layout, int height) {
    const std::int64_t rows = (static_cast<std::int64_t>(layout.totalSquares) + layout.columns - 1) / layout.columns;
    if (rows * layout.cell <= height) return 0;
    const std::int64_t extent =
        static_cast<std::int64_t>(layout.totalSquares / layout.columns) * layout.cell + layout.cell * 3 / 2;
    return static_cast<int>(std::min<std::int64_t>(extent, INT32_MAX / 2));
}

RECT SquareRect(int index, const BlockLayout& layout) {
    const int left = (index % layout.columns) * layout.cell;
    const int top = (index / layout.columns) * layout.cell;
    return RECT{left, top, left + layout.cell, top + layout.cell};
}

SquareSpan ChangedSquares(int part, int before, int after, const BlockLayout& layout) {
    const int base = part * layout.squaresPerPart;
    return SquareSpan{base + std::min(before, after), base + std::max(before, after)};
}

}  // namespace mf::gui
