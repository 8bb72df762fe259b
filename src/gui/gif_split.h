// Splitting an animated GIF into self-contained one-frame GIFs, by walking
// its blocks (GIF89a): each image, with the blocks from its graphic control
// extension on, goes behind a copy of the header, the logical screen
// descriptor and the global colour table, and is closed by a trailer. The
// walk never reads past the buffer: a damaged file is played as far as it
// is sound, and refused when nothing of it is.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mf::gui {

struct GifFrame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int delay = -1;     // hundredths of a second; -1: the frame has no graphic control extension
    int disposal = 0;   // 2: restore to background, 3: restore to previous, others: leave
    bool localColourTable = false;
    bool interlaced = false;
    std::string gif;    // the one-frame GIF
};

struct GifSplit {
    int width = 0;      // the logical screen
    int height = 0;
    std::vector<GifFrame> frames;
    bool complete = false;  // the walk reached the trailer
};

// What a GIF may ask of the player. A frame beyond them is left out; a
// logical screen beyond them refuses the file.
struct GifLimits {
    int maxSide = 4096;
    std::size_t maxFrames = 1024;
    long long maxPixels = 16LL * 1024 * 1024;  // of all frames together
};

// The frames of the GIF; nullopt when the buffer is no GIF or holds no
// sound frame.
[[nodiscard]] std::optional<GifSplit> SplitGif(std::string_view data, const GifLimits& limits = {});

// How long a frame stays: its delay when above 4 hundredths, else 100 ms.
[[nodiscard]] constexpr unsigned FrameWaitMs(int delay) noexcept {
    return delay > 4 ? static_cast<unsigned>(delay) * 10u : 100u;
}

}  // namespace mf::gui
