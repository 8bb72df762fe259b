// The launcher window's decisions and texts, in tables.
#include <gtest/gtest.h>

#include <vector>

#include "base/strings.h"
#include "ui/launcher_rules.h"

namespace mf::ui {
namespace {

TEST(PageCommands, FirstCommandInTheFixedOrderWins) {
    const struct {
        const wchar_t* url;
        PageCommand command;
    } cases[] = {
        {L"http://pc/areas/x.html?type=loadComplete", PageCommand::LoadComplete},
        {L"about:blank#type=activate", PageCommand::Activate},
        {L"http://pc/cmd?type=system&op=min", PageCommand::Minimise},
        {L"http://pc/cmd?type=system&op=max", PageCommand::Maximise},
        {L"http://pc/cmd?type=system&op=repair", PageCommand::Restore},
        {L"http://pc/cmd?type=system&op=exit", PageCommand::Exit},
        {L"http://pc/cmd?Type=activateApp", PageCommand::ActivateApp},
        {L"http://pc/cmd?Type=moveWindows", PageCommand::MoveWindow},
        // Both: the companion program only (activate comes first).
        {L"http://pc/cmd?type=system&op=min&x=type=activate", PageCommand::Activate},
        {L"http://pc/cmd?type=system&op=exit&type=loadComplete", PageCommand::LoadComplete},
        // A lower-case "type=activateApp" holds "type=activate"; the page
        // writes "Type=activateApp" for the other command.
        {L"http://pc/cmd?type=activateApp", PageCommand::Activate},
        // Case-sensitive: these are plain navigations.
        {L"http://pc/cmd?TYPE=SYSTEM&OP=MIN", PageCommand::None},
        {L"http://pc/cmd?type=loadcomplete", PageCommand::None},
        {L"http://pc/cmd?type=moveWindows", PageCommand::None},
        {L"http://pc/PracticeCenter/ExeIndex/Index?TQuestionPlanID=1", PageCommand::None},
        {L"", PageCommand::None},
    };
    for (const auto& c : cases) EXPECT_EQ(PageCommandIn(c.url), c.command) << Narrow(c.url);
}

TEST(ResizeHitTest, BandInsideTheClientEdgeThenCaption) {
    const SIZE client{800, 600};
    const struct {
        POINT p;
        LRESULT hit;
    } cases[] = {
        {{0, 0}, HTTOPLEFT},       {{4, 4}, HTTOPLEFT},        {{799, 0}, HTTOPRIGHT},
        {{795, 4}, HTTOPRIGHT},    {{0, 599}, HTBOTTOMLEFT},   {{799, 599}, HTBOTTOMRIGHT},
        {{0, 300}, HTLEFT},        {{4, 300}, HTLEFT},         {{5, 300}, HTCAPTION},
        {{799, 300}, HTRIGHT},     {{794, 300}, HTCAPTION},    {{795, 300}, HTRIGHT},
        {{400, 0}, HTTOP},         {{400, 4}, HTTOP},          {{400, 5}, HTCAPTION},
        {{400, 599}, HTBOTTOM},    {{400, 595}, HTBOTTOM},     {{400, 594}, HTCAPTION},
        {{400, 300}, HTCAPTION},
    };
    for (const auto& c : cases) EXPECT_EQ(ResizeHitTest(c.p, client), c.hit) << c.p.x << "," << c.p.y;
}

TEST(LoadingPageLayout, CentredAroundTheBar) {
    const LoadingLayout layout = LayOutLoadingPage(SIZE{1000, 700}, kLoadingBarSize, SIZE{300, 20});
    EXPECT_EQ(layout.bar.left, 400);
    EXPECT_EQ(layout.bar.top, 400);
    EXPECT_EQ(layout.bar.right - layout.bar.left, 200);
    EXPECT_EQ(layout.bar.bottom - layout.bar.top, 5);
    EXPECT_EQ(layout.picture.left, 303);
    EXPECT_EQ(layout.picture.right - layout.picture.left, 394);
    EXPECT_EQ(layout.picture.bottom, layout.bar.top);
    EXPECT_EQ(layout.picture.bottom - layout.picture.top, 152);
    EXPECT_EQ(layout.line.left, 350);
    EXPECT_EQ(layout.line.top, 415);
    EXPECT_EQ(layout.line.bottom - layout.line.top, 20);
}

TEST(FirstRestore, CentredOrAtTheEdgeOfASmallScreen) {
    const RECT big = FirstRestoreRect(SIZE{1280, 800});
    EXPECT_EQ(big.left, 240);
    EXPECT_EQ(big.top, 100);
    EXPECT_EQ(big.right - big.left, 800);
    const RECT small = FirstRestoreRect(SIZE{640, 480});
    EXPECT_EQ(small.left, 0);
    EXPECT_EQ(small.top, 0);
    EXPECT_EQ(small.bottom, 600);
}

TEST(LauncherTitle, EveryExeGoes) {
    EXPECT_EQ(LauncherTitle(L"QuorvilBank.exe"), L"QuorvilBank");
    EXPECT_EQ(LauncherTitle(L"a.exe.exe"), L"a");
    EXPECT_EQ(LauncherTitle(L"bin\\Q.EXE"), L"bin\\Q.EXE");  // case-sensitive
}

// A recorded series of the messages a window gets during an update, and
// what it shows after each: progress, bar at the next tick, tooltip.
struct Step {
    enum Kind { Status, Count, Bytes, Text, Timer } kind;
    long a = 0, b = 0;
    float progress;  // after the step
    int bar;         // after the step (moves only on timer ticks)
    const wchar_t* tooltip;  // the tooltip this step sets, or null when it stays
};

void Play(const std::vector<Step>& steps) {
    LoadingProgress model;
    int index = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(index++);
        switch (s.kind) {
            case Step::Status: model.OnStatus(static_cast<int>(s.a)); break;
            case Step::Count: model.OnFileCount(static_cast<int>(s.a), static_cast<int>(s.b)); break;
            case Step::Bytes: model.OnByteProgress(s.a, s.b); break;
            case Step::Text: model.OnStatusText(L"text"); break;
            case Step::Timer: {
                const LoadingProgress::Tick tick = model.OnTimer();
                EXPECT_EQ(tick.line, ProgressLineText(tick.bar / 10));
                EXPECT_EQ(tick.done, tick.bar >= 1000);
                break;
            }
        }
        EXPECT_FLOAT_EQ(model.progress(), s.progress);
        EXPECT_EQ(model.bar(), s.bar);
        const std::optional<std::wstring> tooltip = model.TakeTooltip();
        if (s.tooltip == nullptr) {
            EXPECT_FALSE(tooltip.has_value()) << Narrow(tooltip.value_or(L""));
        } else {
            EXPECT_EQ(tooltip.value_or(L"(none)"), s.tooltip);
        }
    }
}

TEST(LoadingProgress, ThePartsExampleAndABarThatNeverMovesBack) {
    const std::wstring t10 = CachingTooltip(10), t43 = CachingTooltip(43), t55 = CachingTooltip(55);
    Play({
        {Step::Timer, 0, 0, 1.0f, 10, nullptr},              // 1 % before anything
        {Step::Status, 3, 0, 1.0f, 10, nullptr},
        {Step::Text, 0, 0, 10.0f, 10, t10.c_str()},         // the check is done: 10 %
        {Step::Timer, 0, 0, 10.0f, 100, nullptr},
        {Step::Status, 4, 0, 10.0f, 100, nullptr},
        {Step::Count, 1, 4, 10.0f, 100, nullptr},
        {Step::Bytes, 1000, 500, 43.75f, 100, t43.c_str()}, // ((500/1000)/4 + 1/4) x 90 + 10
        {Step::Timer, 0, 0, 43.75f, 437, nullptr},          // the line shows 43
        {Step::Bytes, 0, 900, 43.75f, 437, nullptr},        // a size of 0 tells nothing
        {Step::Count, 2, 4, 43.75f, 437, nullptr},
        {Step::Bytes, 1000, 0, 55.0f, 437, t55.c_str()},
        {Step::Timer, 0, 0, 55.0f, 550, nullptr},
        {Step::Count, 0, 4, 55.0f, 550, nullptr},           // taken back: a new pass
        {Step::Bytes, 1000, 0, 10.0f, 550, nullptr},        // the tooltip does not fall
        {Step::Timer, 0, 0, 10.0f, 550, nullptr},           // the bar does not fall
        {Step::Status, 5, 0, 10.0f, 550, nullptr},          // an error status
        {Step::Text, 0, 0, 10.0f, 550, nullptr},            //   moves nothing
        {Step::Status, 8, 0, 10.0f, 550, nullptr},
        {Step::Text, 0, 0, 10.0f, 550, nullptr},
        {Step::Status, 14, 0, 10.0f, 550, nullptr},         // nor does an unknown one
        {Step::Text, 0, 0, 10.0f, 550, nullptr},
        {Step::Status, 12, 0, 10.0f, 550, nullptr},
        {Step::Text, 0, 0, 100.0f, 550, kAlmostCachedTooltip},
        {Step::Timer, 0, 0, 100.0f, 1000, nullptr},
    });
}

TEST(LoadingProgress, NoFileTotalAndOverlongReceiptsStayInRange) {
    Play({
        {Step::Bytes, 1000, 500, 1.0f, 0, nullptr},  // no file count yet: nothing to divide by
        {Step::Count, 0, 1, 1.0f, 0, nullptr},
        {Step::Bytes, 10, 50, 100.0f, 0, kAlmostCachedTooltip},  // more than the size: at most 100
        {Step::Timer, 0, 0, 100.0f, 1000, nullptr},
    });
}

TEST(LoadingTexts, AsTheWindowShowsThem) {
    EXPECT_EQ(DownloadStatusText(43), L"正在下载题库文件，请稍候... 43%" + std::wstring(20, L' '));
    EXPECT_EQ(ProgressLineText(43), L"正在下载，请稍候... 43%  ");
    EXPECT_EQ(CachingTooltip(7), L"澜石题库（正在缓存数据 7%）");
}

}  // namespace
}  // namespace mf::ui
