// The animated picture: frames composed with their offsets and disposal, as
// read back from the window; playing on its own thread, and a stop that
// cuts a long frame short.
#include <gtest/gtest.h>

#include <chrono>

#include "gui/animated_picture.h"
#include "support/test_support.h"
#include "support/window_driver.h"
#include "ui/resource_ids.h"

namespace mf::gui {
namespace {

using namespace std::chrono_literals;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

std::string Fixture(const wchar_t* name) {
    return test::ReadFileBytes(test::BuildPath(std::wstring(L"fixtures\\gif\\") + name));
}

TEST(CPictureEx, DisposalRestoresBackgroundOrWhatWasUnder) {
    struct Case {
        const wchar_t* gif;
        COLORREF underFirstFrame;  // where frame 1 was, once frame 2 shows
    };
    for (const Case& c : {Case{L"disposal-background.gif", kWhite}, Case{L"disposal-previous.gif", kRed}}) {
        SCOPED_TRACE(testing::Message() << c.gif);
        test::HolderWindow holder;
        CPictureEx picture;
        ASSERT_TRUE(picture.Create(holder.hwnd(), RECT{0, 0, 20, 20}, 179));
        ASSERT_TRUE(picture.Load(Fixture(c.gif)));
        ASSERT_EQ(picture.FrameCount(), 3u);

        picture.ShowFrame(0);
        Pixels pixels = test::ReadPixels(picture.hwnd());
        ASSERT_EQ(pixels.width, 20);
        EXPECT_EQ(pixels.Count(kRed), 400);

        picture.ShowFrame(1);
        pixels = test::ReadPixels(picture.hwnd());
        EXPECT_EQ(pixels.At(2, 2), kBlue);
        EXPECT_EQ(pixels.At(12, 12), kRed);

        picture.ShowFrame(2);
        pixels = test::ReadPixels(picture.hwnd());
        EXPECT_EQ(pixels.At(2, 2), c.underFirstFrame);
        EXPECT_EQ(pixels.At(9, 9), c.underFirstFrame);
        EXPECT_EQ(pixels.At(17, 17), kGreen);
        EXPECT_EQ(pixels.At(12, 12), kRed);
    }
}

TEST(CPictureEx, PlaysOnItsOwnThreadAndStopsAtOnce) {
    test::HolderWindow holder;
    CPictureEx picture;
    ASSERT_TRUE(picture.Create(holder.hwnd(), RECT{0, 0, 8, 8}, 179));

    ASSERT_TRUE(picture.Load(Fixture(L"delays.gif")));
    picture.Start();
    EXPECT_TRUE(picture.Playing());
    // Round the six frames and on (about 1.5 s a round).
    EXPECT_TRUE(test::WaitUntil([&] { return picture.FramesDrawn() > 7; }, 20s));
    picture.Stop();
    EXPECT_FALSE(picture.Playing());

    // A frame of a minute: stopping does not wait for it to end.
    ASSERT_TRUE(picture.Load(Fixture(L"slow.gif")));
    picture.Start();
    ASSERT_TRUE(test::WaitUntil([&] { return picture.FramesDrawn() == 1; }, 10s));
    EXPECT_EQ(test::ReadPixels(picture.hwnd()).At(4, 4), kRed);
    const auto stopping = std::chrono::steady_clock::now();
    picture.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 5s);
    EXPECT_EQ(picture.FramesDrawn(), 1u);
}

TEST(CPictureEx, LoadsTheLaunchersPictureAndRefusesWhatIsNoGif) {
    test::HolderWindow holder;
    CPictureEx picture;
    ASSERT_TRUE(picture.Create(holder.hwnd(), RECT{0, 0, 394, 152}, 179));
    ASSERT_TRUE(picture.LoadResource(ThisModule(), L"GIF", IDG_LOADING));
    EXPECT_EQ(picture.FrameCount(), 8u);
    EXPECT_EQ(picture.PictureSize().cx, 394);
    EXPECT_EQ(picture.PictureSize().cy, 152);
    // A single frame shows without a thread.
    ASSERT_TRUE(picture.Load(Fixture(L"interlaced.gif")));
    picture.Start();
    EXPECT_FALSE(picture.Playing());
    const Pixels pixels = test::ReadPixels(picture.hwnd());
    EXPECT_EQ(pixels.At(20, 5), kRed);
    EXPECT_EQ(pixels.At(20, 35), kBlue);

    EXPECT_FALSE(picture.Load("GIF89a but not really"));
    EXPECT_FALSE(picture.LoadResource(ThisModule(), L"GIF", 4242));
    EXPECT_EQ(picture.FrameCount(), 0u);
    picture.Start();  // nothing to play
    EXPECT_FALSE(picture.Playing());
}

}  // namespace
}  // namespace mf::gui
