// The download block view: its layout as a table around the worked example,
// and the window following one download's messages, read back as pixels and
// as the region it asks to repaint.
#include <gtest/gtest.h>

#include "base/handles.h"
#include "base/messages.h"
#include "gui/block_view.h"
#include "gui/gdi.h"
#include "support/window_driver.h"
#include "ui/resource_ids.h"

namespace mf::gui {
namespace {

TEST(BlockLayout, WorkedExampleAndTheCasesAroundIt) {
    struct Case {
        const char* name;
        std::int32_t fileSize, blockSize;
        int width, height;
        int columns, squaresPerPart, unitsPerSquare, totalSquares;
    };
    const Case cases[] = {
        // 48099 units in 600 places: 81 units a square, 55 squares a block;
        // 10 blocks and 655360 bytes more: 550 + 37 squares in 20 rows.
        {"10 MiB in blocks of 960 KiB", 10485760, 983040, 300, 200, 30, 55, 81, 587},
        {"exactly one block", 983040, 983040, 300, 200, 30, 563, 8, 563},
        {"a file smaller than a block", 50000, 983040, 300, 200, 30, 4509, 1, 229},
        {"blocks of 20 units, rows past the window", 10485760, 4360, 300, 200, 28, 20, 1, 48099},
        {"blocks below 20 units", 100000, 2000, 300, 200, 30, 9, 1, 450},
        {"one block below 20 units", 1000, 1000, 300, 200, 30, 4, 1, 4},
        {"blocks below one unit", 1000, 100, 300, 200, 30, 1, 1, 10},
        {"a window smaller than a square", 10485760, 983040, 5, 5, 1, 20, 225, 213},
        {"no size yet", 0, 983040, 300, 200, 30, 10, 1, 0},
        {"no block size", 10485760, 0, 300, 200, 30, 10, 1, 0},
        {"a negative size", -5, 983040, 300, 200, 30, 10, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const BlockLayout layout = LayoutBlocks(c.fileSize, c.blockSize, c.width, c.height);
        EXPECT_EQ(layout.columns, c.columns);
        EXPECT_EQ(layout.squaresPerPart, c.squaresPerPart);
        EXPECT_EQ(layout.unitsPerSquare, c.unitsPerSquare);
        EXPECT_EQ(layout.totalSquares, c.totalSquares);
    }
    const BlockLayout example = LayoutBlocks(10485760, 983040, 300, 200);
    // 20 rows fill the 200 pixels: no scrolling (a scroll bar would cover
    // the last columns); 1604 rows scroll.
    EXPECT_EQ(ScrollHeight(example, 200), 0);
    EXPECT_EQ(ScrollHeight(LayoutBlocks(10485760, 4360, 300, 200), 200), 48099 / 28 * 10 + 15);
    EXPECT_EQ(SquaresDone(983040, example), 55);
    EXPECT_EQ(SquaresDone(81 * 218 - 1, example), 0);
    EXPECT_EQ(SquaresDone(-1, example), 0);
    EXPECT_EQ(SquareRect(31, example).left, 10);
    EXPECT_EQ(SquareRect(31, example).top, 10);
    // A part falling back from 30 to 12 squares: squares 12 to 30 of its own.
    const SquareSpan span = ChangedSquares(2, 30, 12, example);
    EXPECT_EQ(span.first, 2 * 55 + 12);
    EXPECT_EQ(span.last, 2 * 55 + 30);
}

class BlockViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(view_.Create(holder_.hwnd(), RECT{0, 0, 300, 200}, IDC_DOTNET_VIEW));
        RECT client{};
        ::GetClientRect(view_.hwnd(), &client);
        ASSERT_EQ(client.right, 300);
        ASSERT_EQ(client.bottom, 200);
    }
    void Send(UINT message, WPARAM wParam, LPARAM lParam) { ::SendMessageW(view_.hwnd(), message, wParam, lParam); }
    static WPARAM PartWord(int part, int word = -1) {
        return (static_cast<WPARAM>(part) << 16) | (static_cast<WPARAM>(word) & 0xFFFF);
    }
    void StartExample() {
        Send(msg::kFileSize, static_cast<WPARAM>(-1), 10485760);
        Send(msg::kBlockSize, static_cast<WPARAM>(-1), 983040);
    }

    test::HolderWindow holder_{RECT{0, 0, 320, 220}, true};
    CMyDownloadBlockView view_;
};

TEST_F(BlockViewTest, AnotherDownloadsMessagesChangeNothing) {
    StartExample();
    ASSERT_EQ(view_.layout().totalSquares, 587);
    Send(msg::kPartProgress, PartWord(1, 7), 500000);
    Send(msg::kFileSize, 7, 100);
    Send(msg::kBlockSize, 7, 100);
    EXPECT_EQ(view_.PartDone(1), -1);
    EXPECT_EQ(view_.fileSize(), 10485760);
    EXPECT_EQ(view_.layout().totalSquares, 587);
    Send(msg::kPartProgress, PartWord(1), 500000);
    EXPECT_EQ(view_.PartDone(1), 500000 / 218 / 81);
}

TEST_F(BlockViewTest, APartFallingBackRepaintsOnlyItsOwnSquares) {
    StartExample();
    Send(msg::kPartProgress, PartWord(2), 30 * 81 * 218);
    ASSERT_EQ(view_.PartDone(2), 30);
    ::ValidateRect(view_.hwnd(), nullptr);
    Send(msg::kPartProgress, PartWord(2), 12 * 81 * 218);
    EXPECT_EQ(view_.PartDone(2), 12);
    UniqueGdiObject region(::CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(::GetUpdateRgn(view_.hwnd(), static_cast<HRGN>(region.get()), FALSE), ERROR);
    const BlockLayout& layout = view_.layout();
    for (int i = 0; i < layout.totalSquares; ++i) {
        const RECT cell = SquareRect(i, layout);
        const bool invalid = ::PtInRegion(static_cast<HRGN>(region.get()), cell.left + 5, cell.top + 5) != FALSE;
        EXPECT_EQ(invalid, i >= 2 * 55 + 12 && i <= 2 * 55 + 30) << i;
    }
    // The same count again: nothing to repaint.
    ::ValidateRect(view_.hwnd(), nullptr);
    Send(msg::kPartProgress, PartWord(2), 12 * 81 * 218 + 5);
    RECT dirty{};
    EXPECT_FALSE(::GetUpdateRect(view_.hwnd(), &dirty, FALSE))
        << dirty.left << "," << dirty.top << " " << dirty.right << "," << dirty.bottom;
}

// The colour in the middle of a bitmap of the program's resources.
COLORREF MiddleOf(int bitmapId) {
    UniqueGdiObject bitmap(::LoadImageW(ThisModule(), MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, 0));
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    SelectedObject selected(dc.get(), bitmap.get());
    return ::GetPixel(dc.get(), 4, 4);
}

TEST_F(BlockViewTest, AFinishedDownloadIsAllDoneSquaresThenTheCompleteText) {
    UniqueGdiObject pending(::LoadImageW(ThisModule(), MAKEINTRESOURCEW(IDB_BLOCK_PENDING), IMAGE_BITMAP, 0, 0, 0));
    UniqueGdiObject done(::LoadImageW(ThisModule(), MAKEINTRESOURCEW(IDB_BLOCK_DONE), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_TRUE(pending.valid() && done.valid());
    view_.SetBitmaps(static_cast<HBITMAP>(pending.get()), static_cast<HBITMAP>(done.get()));
    view_.SetTexts(L"Install NET Framework 2.0", L"Your software will need it.", L"Download complete.", L"Failed.");
    const COLORREF doneColour = MiddleOf(IDB_BLOCK_DONE);
    const COLORREF pendingColour = MiddleOf(IDB_BLOCK_PENDING);
    ASSERT_NE(doneColour, pendingColour);

    StartExample();
    Pixels pixels = test::ReadPixels(view_.hwnd());
    ASSERT_EQ(pixels.width, 300);
    EXPECT_EQ(pixels.At(5, 5), pendingColour);
    // Ten whole blocks and the last one's 655360 bytes.
    for (int part = 0; part < 10; ++part) Send(msg::kPartProgress, PartWord(part), 983040);
    Send(msg::kPartProgress, PartWord(10), 655360);
    pixels = test::ReadPixels(view_.hwnd());
    int doneSquares = 0;
    for (int i = 0; i < view_.layout().totalSquares; ++i) {
        const RECT cell = SquareRect(i, view_.layout());
        if (pixels.At(cell.left + 4, cell.top + 4) == doneColour) ++doneSquares;
    }
    EXPECT_EQ(doneSquares, 587);
    // Past the last square: white.
    EXPECT_EQ(pixels.At(17 * 10 + 5, 19 * 10 + 5), RGB(255, 255, 255));

    Send(WM_COMMAND, MAKEWPARAM(msg::kDownloadDone, 0), 0);
    EXPECT_EQ(view_.mode(), CMyDownloadBlockView::Mode::Finished);
    ASSERT_EQ(holder_.commands.size(), 1u);
    EXPECT_EQ(LOWORD(holder_.commands[0]), msg::kDownloadDone);
    pixels = test::ReadPixels(view_.hwnd());
    // The frame over the grid, 30 pixels in; the grid shows around it.
    EXPECT_EQ(pixels.At(30, 100), RGB(0, 0, 0));
    EXPECT_EQ(pixels.At(150, 35), RGB(255, 255, 255));
    EXPECT_EQ(pixels.At(5, 5), doneColour);
}

}  // namespace
}  // namespace mf::gui
