// The grid of the download block view as plain values: how a file of a given
// size, fetched in blocks of a given size, is drawn as squares in a window,
// and which squares a part's progress touches. The unit of progress is 218
// bytes; a square stands for one or more units.
#pragma once

#include <windows.h>

#include <cstdint>

namespace mf::gui {

inline constexpr int kBlockUnitBytes = 218;
inline constexpr int kBlockCellPixels = 10;
inline constexpr int kMinSquaresPerPart = 20;
// Room left for the vertical scroll bar when the rows do not fit.
inline constexpr int kScrollBarRoom = 18;

struct BlockLayout {
    int cell = kBlockCellPixels;
    int columns = 1;
    int squaresPerPart = 10;
    int unitsPerSquare = 1;
    int totalSquares = 0;  // 0: no grid
};

// Lays out a file of `fileSize` bytes in blocks of `blockSize` bytes in a
// window of width × height pixels. Every block shows squaresPerPart squares
// (at least 20), the last, shorter block fewer; a square stands for as many
// units as keep the grid within the window where it can. Blocks below 20
// units show one square per unit (a block below one unit shows one square),
// and a window narrower than a cell still has one column: no input divides
// by zero. A size or block size of 0 or less gives no grid.
[[nodiscard]] BlockLayout LayoutBlocks(std::int32_t fileSize, std::int32_t blockSize, int width, int height,
                                       int cell = kBlockCellPixels);

// The squares done of a part that has `bytes` bytes, within the part's squares.
[[nodiscard]] int SquaresDone(std::int32_t bytes, const BlockLayout& layout);

// The height to scroll over in a window `height` pixels high: 0 when the
// rows fit (no scroll bar, which would cover the last columns), else the
// grid's rows and half a cell more.
[[nodiscard]] int ScrollHeight(const BlockLayout& layout, int height);

// Square `index` in grid coordinates (before scrolling).
[[nodiscard]] RECT SquareRect(int index, const BlockLayout& layout);

// The squares that change when part `part` goes from `before` to `after`
// squares done: first and last (inclusive), within the part.
struct SquareSpan {
    int first = 0;
    int last = -1;
};
[[nodiscard]] SquareSpan ChangedSquares(int part, int before, int after, const BlockLayout& layout);

// Whether square `position` of a part whose stored count is `done` (-1: the
// part has reported nothing) is drawn as received.
[[nodiscard]] constexpr bool SquareReceived(int done, int position) noexcept { return done >= position; }

}  // namespace mf::gui
