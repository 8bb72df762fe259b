// Splitting GIFs into one-frame GIFs: real pictures made by ImageMagick, and
// damaged buffers placed against an unreadable page, so that a read past
// their end fails the test instead of passing unseen.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "gui/gif_split.h"
#include "support/test_support.h"

namespace mf::gui {
namespace {

std::string Fixture(const wchar_t* name) {
    return test::ReadFileBytes(test::BuildPath(std::wstring(L"fixtures\\gif\\") + name));
}

// The bytes end where an inaccessible page begins.
class GuardedBuffer {
public:
    explicit GuardedBuffer(const std::string& bytes) {
        SYSTEM_INFO info{};
        ::GetSystemInfo(&info);
        const std::size_t page = info.dwPageSize;
        const std::size_t pages = (bytes.size() + page - 1) / page + 1;
        base_ = static_cast<char*>(::VirtualAlloc(nullptr, pages * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old = 0;
        ::VirtualProtect(base_ + (pages - 1) * page, page, PAGE_NOACCESS, &old);
        data_ = base_ + (pages - 1) * page - bytes.size();
        if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
        size_ = bytes.size();
    }
    ~GuardedBuffer() { ::VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    [[nodiscard]] std::string_view view() const { return {data_, size_}; }

private:
    char* base_ = nullptr;
    char* data_ = nullptr;
    std::size_t size_ = 0;
};

TEST(GifSplit, FramesOfRealPictures) {
    const auto delays = SplitGif(Fixture(L"delays.gif"));
    ASSERT_TRUE(delays);
    EXPECT_TRUE(delays->complete);
    EXPECT_EQ(delays->width, 8);
    ASSERT_EQ(delays->frames.size(), 6u);
    const int hundredths[] = {0, 1, 2, 4, 5, 50};
    const unsigned waits[] = {100, 100, 100, 100, 50, 500};
    for (std::size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(delays->frames[i].delay, hundredths[i]);
        EXPECT_EQ(FrameWaitMs(delays->frames[i].delay), waits[i]);
        // Each frame is a GIF of its own: header, screen, table, frame, trailer.
        const std::string& gif = delays->frames[i].gif;
        EXPECT_EQ(gif.substr(0, 6), "GIF89a");
        EXPECT_EQ(gif.back(), '\x3B');
        const auto alone = SplitGif(gif);
        ASSERT_TRUE(alone);
        EXPECT_TRUE(alone->complete);
        ASSERT_EQ(alone->frames.size(), 1u);
        EXPECT_EQ(alone->frames[0].delay, hundredths[i]);
    }

    for (const auto& [name, disposal] : {std::pair{L"disposal-background.gif", 2}, {L"disposal-previous.gif", 3}}) {
        SCOPED_TRACE(testing::Message() << disposal);
        const auto split = SplitGif(Fixture(name));
        ASSERT_TRUE(split);
        ASSERT_EQ(split->frames.size(), 3u);
        EXPECT_EQ(split->width, 20);
        EXPECT_EQ(split->frames[1].disposal, disposal);
        EXPECT_EQ(split->frames[1].width, 10);
        const GifFrame& last = split->frames[2];
        EXPECT_EQ((std::vector<int>{last.left, last.top, last.width, last.height}), (std::vector<int>{15, 15, 5, 5}));
    }

    const auto local = SplitGif(Fixture(L"local-table.gif"));
    ASSERT_TRUE(local);
    ASSERT_EQ(local->frames.size(), 2u);
    EXPECT_TRUE(local->frames[1].localColourTable);
    EXPECT_EQ(local->frames[0].delay, 0);

    const auto interlaced = SplitGif(Fixture(L"interlaced.gif"));
    ASSERT_TRUE(interlaced);
    ASSERT_EQ(interlaced->frames.size(), 1u);
    EXPECT_TRUE(interlaced->frames[0].interlaced);
}

// Every prefix of a real GIF: never a read past the end; the frames that are
// whole are kept, and the trailer counts only when it is there.
TEST(GifSplit, EveryTruncationOfARealPicture) {
    const std::string whole = Fixture(L"disposal-previous.gif");
    ASSERT_GT(whole.size(), 100u);
    std::size_t lastFrames = 0;
    for (std::size_t length = 0; length < whole.size(); ++length) {
        GuardedBuffer buffer(whole.substr(0, length));
        const auto split = SplitGif(buffer.view());
        const std::size_t frames = split ? split->frames.size() : 0;
        EXPECT_GE(frames, lastFrames) << length;
        EXPECT_TRUE(!split || !split->complete) << length;
        lastFrames = frames;
    }
    EXPECT_EQ(lastFrames, 3u);
}

// A GIF built byte by byte: a 2-colour global table and frames of any size.
struct Builder {
    std::string bytes;
    explicit Builder(int width = 4, int height = 4) {
        bytes = "GIF89a";
        Word(width);
        Word(height);
        bytes += std::string("\x80\0\0", 3);  // a global table of 2 colours
        bytes.append(6, '\0');
    }
    void Word(int value) {
        bytes.push_back(static_cast<char>(value & 0xFF));
        bytes.push_back(static_cast<char>((value >> 8) & 0xFF));
    }
    Builder& Control(int delay, int disposal) {
        bytes += "\x21\xF9\x04";
        bytes.push_back(static_cast<char>(disposal << 2));
        Word(delay);
        bytes += std::string("\x00\x00", 2);
        return *this;
    }
    Builder& Image(int width, int height, const std::string& data = std::string("\x02\x02\x44\x01\x00", 5)) {
        bytes += "\x2C";
        Word(0), Word(0), Word(width), Word(height);
        bytes.push_back('\0');
        bytes += data;
        return *this;
    }
    Builder& Raw(const std::string& raw) {
        bytes += raw;
        return *this;
    }
    std::string End() const { return bytes + "\x3B"; }
};

TEST(GifSplit, DamagedBuffers) {
    struct Case {
        const char* name;
        std::string bytes;
        int frames;  // -1: refused
        bool complete;
    };
    std::string manyFrames;
    {
        Builder many;
        for (int i = 0; i < 10000; ++i) many.Control(1, 0).Image(1, 1);
        manyFrames = many.End();
    }
    const Case cases[] = {
        {"empty", "", -1, false},
        {"another format", std::string("\x89PNG\r\n\x1a\n\0\0\0\0\0\0", 16), -1, false},
        {"header only", "GIF89a", -1, false},
        {"zero-sized screen", Builder(0, 0).Image(1, 1).End(), -1, false},
        {"huge screen", Builder(60000, 60000).Image(1, 1).End(), -1, false},
        {"global table past the end", Builder().bytes.substr(0, 15), -1, false},
        {"no frames", Builder().End(), -1, true},
        {"sound", Builder().Control(10, 2).Image(4, 4).End(), 1, true},
        {"no trailer", Builder().Image(4, 4).bytes, 1, false},
        {"sub-block past the end", Builder().Image(4, 4).Image(4, 4, std::string("\x02\x7F\x44", 3)).bytes, 1, false},
        {"no sub-block terminator",
         Builder().Image(4, 4).Raw(std::string("\x2C\0\0\0\0\x01\0\x01\0\0\x02\x01\x44", 13)).bytes, 1, false},
        {"descriptor cut", Builder().Image(4, 4).Raw("\x2C\x01\x02").bytes, 1, false},
        {"extension past the end", Builder().Image(4, 4).Raw("\x21\xFE\x40hello").bytes, 1, false},
        {"control cut", Builder().Image(4, 4).Raw("\x21\xF9").bytes, 1, false},
        {"zero-sized frame", Builder().Image(0, 4).Image(4, 0).Image(4, 4).End(), 1, true},
        {"huge frame", Builder().Image(65535, 65535).Image(4, 4).End(), 1, true},
        {"garbage between frames", Builder().Image(4, 4).Raw("\x42").Image(4, 4).End(), 1, false},
        {"local table past the end",
         Builder().Image(4, 4).Raw(std::string("\x2C\0\0\0\0\x01\0\x01\0\x87\x01", 11)).bytes, 1, false},
        {"ten thousand frames", manyFrames, 1024, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GuardedBuffer buffer(c.bytes);
        const auto started = std::chrono::steady_clock::now();
        const auto split = SplitGif(buffer.view());
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        if (c.frames < 0) {
            EXPECT_FALSE(split);
            continue;
        }
        ASSERT_TRUE(split);
        EXPECT_EQ(static_cast<int>(split->frames.size()), c.frames);
        EXPECT_EQ(split->complete, c.complete);
    }
    // A frame without a graphic control extension has no delay: 100 ms.
    const auto plain = SplitGif(Builder().Image(4, 4).End());
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->frames[0].delay, -1);
    EXPECT_EQ(FrameWaitMs(plain->frames[0].delay), 100u);
}

}  // namespace
}  // namespace mf::gui
