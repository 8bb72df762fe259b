// The owner-drawn progress bar: its fill as a function, and as the window
// paints it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "gui/progress_bar.h"
#include "support/window_driver.h"

namespace mf::gui {
namespace {

TEST(ProgressBar, FillWidth) {
    struct Case {
        int width, lower, upper, position, fill;
    };
    const Case cases[] = {
        {999, 1, 1000, 500, 500},    // position ÷ (upper − lower): 500 ÷ 999
        {200, 1, 1000, 500, 100},    // 200 × 500 ÷ 999 = 100.1
        {200, 1, 1000, 1, 0},        // 0.2 truncated
        {200, 1, 1000, 999, 200},
        {200, 1, 1000, 1000, 200},   // past the end: the whole bar, no more
        {200, 0, 100, 37, 74},
        {200, 0, 100, -5, 0},
        {200, 5, 5, 5, 0},           // an empty range fills nothing
        {0, 0, 100, 50, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " " << c.lower << ".." << c.upper << " at " << c.position);
        EXPECT_EQ(ProgressFillWidth(c.width, c.lower, c.upper, c.position), c.fill);
    }
}

TEST(ProgressBar, PaintsItsShareInTheProductColour) {
    test::HolderWindow holder;
    CProgressCtrlEx bar;
    ASSERT_TRUE(bar.Create(holder.hwnd(), RECT{10, 10, 310, 15}, 175));
    ::SendMessageW(bar.hwnd(), PBM_SETRANGE32, 1, 1000);
    for (const int position : {500, 1, 1000}) {
        SCOPED_TRACE(position);
        ::SendMessageW(bar.hwnd(), PBM_SETPOS, position, 0);
        const Pixels pixels = test::ReadPixels(bar.hwnd());
        ASSERT_EQ(pixels.width, 300);
        ASSERT_EQ(pixels.height, 5);
        const int expected = static_cast<int>(300.0 * position / 999);
        for (int y = 0; y < 5; ++y) EXPECT_EQ(pixels.RunFromLeft(y, kProgressColour), std::min(expected, 300));
        if (expected < 300) {
            EXPECT_EQ(pixels.At(299, 2), RGB(255, 255, 255));
        }
    }
}

}  // namespace
}  // namespace mf::gui
