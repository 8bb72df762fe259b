// The GIF splitter on any bytes: the launcher's loading picture comes from
// the product's resources or the practice center.
#include "gui/gif_split.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = mf::fuzz::Bytes(data, size);
    const std::optional<mf::gui::GifSplit> split = mf::gui::SplitGif(bytes);
    if (!split) return 0;
    for (const mf::gui::GifFrame& frame : split->frames) {
        // Each frame is a GIF of its own that the splitter must read back
        // as exactly one frame.
        const std::optional<mf::gui::GifSplit> alone = mf::gui::SplitGif(frame.gif);
        if (!alone || alone->frames.size() != 1 || !alone->complete)
            mf::fuzz::Broken("a split frame is no GIF of one frame");
    }
    return 0;
}
