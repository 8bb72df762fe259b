#include "gui/gif_split.h"

namespace mf::gui {

namespace {

constexpr std::size_t kScreenDescriptorEnd = 13;
constexpr std::size_t kImageDescriptorSize = 10;
constexpr unsigned char kExtension = 0x21;
constexpr unsigned char kImage = 0x2C;
constexpr unsigned char kTrailer = 0x3B;
constexpr unsigned char kGraphicControl = 0xF9;

int Word(std::string_view data, std::size_t at) {
    return static_cast<unsigned char>(data[at]) | (static_cast<unsigned char>(data[at + 1]) << 8);
}

unsigned char Byte(std::string_view data, std::size_t at) { return static_cast<unsigned char>(data[at]); }

std::size_t ColourTableSize(unsigned char packed) {
    return (packed & 0x80) != 0 ? 3u * (2u << (packed & 7)) : 0u;
}

// The end of the sub-blocks that start at `at` (past their zero-length
// terminator), or nullopt when they run past the buffer.
std::optional<std::size_t> SkipSubBlocks(std::string_view data, std::size_t at) {
    for (;;) {
        if (at >= data.size()) return std::nullopt;
        const std::size_t length = Byte(data, at++);
        if (length == 0) return at;
        if (length > data.size() - at) return std::nullopt;
        at += length;
    }
}

// The graphic control extension that applies to the next image.
struct PendingControl {
    std::size_t start = 0;
    int delay = -1;
    int disposal = 0;
    bool present = false;
};

}  // namespace

std::optional<GifSplit> SplitGif(std::string_view data, const GifLimits& limits) {
    if (data.size() < kScreenDescriptorEnd) return std::nullopt;
    if (data.substr(0, 6) != "GIF87a" && data.substr(0, 6) != "GIF89a") return std::nullopt;
    GifSplit split;
    split.width = Word(data, 6);
    split.height = Word(data, 8);
    if (split.width <= 0 || split.height <= 0 || split.width > limits.maxSide || split.height > limits.maxSide)
        return std::nullopt;
    const std::size_t globalTable = ColourTableSize(Byte(data, 10));
    if (globalTable > data.size() - kScreenDescriptorEnd) return std::nullopt;
    const std::string_view head = data.substr(0, kScreenDescriptorEnd + globalTable);

    long long pixels = 0;
    PendingControl control;
    std::size_t at = head.size();
    while (at < data.size() && split.frames.size() < limits.maxFrames) {
        const unsigned char introducer = Byte(data, at);
        if (introducer == kTrailer) {
            split.complete = true;
            break;
        }
        if (introducer == kExtension) {
            if (data.size() - at < 2) break;
            const unsigned char label = Byte(data, at + 1);
            const std::optional<std::size_t> end = SkipSubBlocks(data, at + 2);
            if (!end) break;
            if (label == kGraphicControl) {
                control = PendingControl{at, -1, 0, true};
                // Block size 4: packed fields, delay (16 bits), transparent index.
                if (Byte(data, at + 2) >= 4) {
                    control.disposal = (Byte(data, at + 3) >> 2) & 7;
                    control.delay = Word(data, at + 4);
                }
            }
            at = *end;
            continue;
        }
        if (introducer != kImage) break;  // not a block of a GIF: the rest is not sound
        if (data.size() - at < kImageDescriptorSize + 1) break;
        GifFrame frame;
        frame.left = Word(data, at + 1);
        frame.top = Word(data, at + 3);
        frame.width = Word(data, at + 5);
        frame.height = Word(data, at + 7);
        const unsigned char packed = Byte(data, at + 9);
        frame.localColourTable = (packed & 0x80) != 0;
        frame.interlaced = (packed & 0x40) != 0;
        const std::size_t localTable = ColourTableSize(packed);
        const std::size_t dataStart = at + kImageDescriptorSize + localTable;
        // The LZW minimum code size byte comes before the data sub-blocks.
        if (localTable > data.size() - at - kImageDescriptorSize || dataStart >= data.size()) break;
        const std::optional<std::size_t> end = SkipSubBlocks(data, dataStart + 1);
        if (!end) break;
        const std::size_t from = control.present ? control.start : at;
        frame.delay = control.present ? control.delay : -1;
        frame.disposal = control.present ? control.disposal : 0;
        control = PendingControl{};
        at = *end;
        const long long area = static_cast<long long>(frame.width) * frame.height;
        if (frame.width == 0 || frame.height == 0 || frame.width > limits.maxSide ||
            frame.height > limits.maxSide || pixels + area > limits.maxPixels)
            continue;  // nothing to show, or more than the player takes
        pixels += area;
        frame.gif.reserve(head.size() + (*end - from) + 1);
        frame.gif.append(head);
        frame.gif.append(data.substr(from, *end - from));
        frame.gif.push_back(static_cast<char>(kTrailer));
        split.frames.push_back(std::move(frame));
    }
    if (split.frames.empty()) return std::nullopt;
    return split;
}

}  // namespace mf::gui
