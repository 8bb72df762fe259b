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

TEST(Navigation, TheBrowserStaysOnThePracticeSite) {
    const gui::WebAddress practice = *gui::ParseWebAddress(L"http://pc.test:8080/");
    const std::wstring top = L"http://pc.test:8080/PracticeCenter/ExeIndex/Index";
    const struct {
        const wchar_t* url;
        bool topLevel;
        const wchar_t* frameLocation;
        const wchar_t* topLocation;
        NavigationVerdict verdict;
    } cases[] = {
        // The control itself: the practice site only.
        {L"http://pc.test:8080/PracticeCenter/ExeIndex/Index?x=1", true, L"", L"", NavigationVerdict::Go},
        {L"HTTP://PC.TEST:8080/areas/a.html", true, L"", top.c_str(), NavigationVerdict::Go},
        {L"http://pc.test/other-port", true, L"", top.c_str(), NavigationVerdict::Refuse},
        {L"http://evil.test:8080/", true, L"", top.c_str(), NavigationVerdict::Refuse},
        {L"http://pc.test.evil.test:8080/", true, L"", top.c_str(), NavigationVerdict::Refuse},
        {L"http://evil.test\\@pc.test:8080/", true, L"", top.c_str(), NavigationVerdict::Refuse},
        {L"file:///C:/Windows/win.ini", true, L"", top.c_str(), NavigationVerdict::Refuse},
        {L"\\\\server\\share\\x.html", true, L"", top.c_str(), NavigationVerdict::Refuse},
        {L"res://C:\\mirefold.exe/2000", true, L"", top.c_str(), NavigationVerdict::Refuse},
        {L"javascript:alert(1)", true, L"", top.c_str(), NavigationVerdict::Refuse},
        {L"http://pc.test:8080/\x01x", true, L"", top.c_str(), NavigationVerdict::Refuse},
        {L"about:blank", true, L"", top.c_str(), NavigationVerdict::Go},
        // Frames: any web address, nothing else.
        {L"http://cdn.test/ad.html", false, L"about:blank", top.c_str(), NavigationVerdict::Go},
        {L"https://cdn.test/ad.html", false, L"", top.c_str(), NavigationVerdict::Go},
        {L"javascript:parent.external.x()", false, L"", top.c_str(), NavigationVerdict::Refuse},
        {L"file:///C:/x.html", false, L"", top.c_str(), NavigationVerdict::Refuse},
        // Commands: to the practice site, from its top-level document.
        {L"http://pc.test:8080/command/type=system&op=exit", true, L"", top.c_str(), NavigationVerdict::Command},
        {L"http://pc.test:8080/command/type=activate", false, L"about:blank", top.c_str(), NavigationVerdict::Command},
        {L"http://pc.test:8080/command/type=activate", false, L"", top.c_str(), NavigationVerdict::Command},
        {L"http://pc.test:8080/command/type=activate", false, L"http://pc.test:8080/command/type=min", top.c_str(),
         NavigationVerdict::Command},
        // ... not from a frame that shows another site, not to another site,
        // not while the control shows another site.
        {L"http://pc.test:8080/command/type=activate", false, L"http://cdn.test/ad.html", top.c_str(),
         NavigationVerdict::Refuse},
        {L"http://evil.test/command/type=activate", true, L"", top.c_str(), NavigationVerdict::Refuse},
        {L"about:blank#type=activate", true, L"", top.c_str(), NavigationVerdict::Refuse},
        {L"javascript:'type=system&op=exit'", false, L"", top.c_str(), NavigationVerdict::Refuse},
        {L"http://pc.test:8080/command/type=system&op=exit", true, L"", L"http://evil.test/",
         NavigationVerdict::Refuse},
    };
    for (const auto& c : cases) {
        const NavigationFacts facts{c.topLevel, c.frameLocation, c.topLocation};
        EXPECT_EQ(DecideNavigation(c.url, facts, practice), c.verdict) << Narrow(c.url) << " top " << c.topLevel;
    }
    // No practice site configured: nowhere.
    EXPECT_EQ(DecideNavigation(L"http://pc.test:8080/", NavigationFacts{}, gui::WebAddress{}), NavigationVerdict::Refuse);
}

TEST(Navigation, ARedirectToThePracticeSiteIsFollowedOnce) {
    const gui::WebAddress practice = *gui::ParseWebAddress(L"http://pc.test/");
    const struct {
        const wchar_t* arrived;
        const wchar_t* requested;
        int redirects;
        Arrival arrival;
    } cases[] = {
        {L"http://pc.test/a", L"http://pc.test/a", 0, Arrival::Stay},
        {L"https://pc.test/a", L"http://pc.test/a", 0, Arrival::Redirected},
        {L"http://pc.test/b", L"http://pc.test/a", 1, Arrival::Leave},
        {L"http://evil.test/", L"http://pc.test/a", 0, Arrival::Leave},
        {L"file:///C:/x", L"http://pc.test/a", 0, Arrival::Leave},
        {L"about:blank", L"http://pc.test/a", 3, Arrival::Stay},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JudgeArrival(c.arrived, c.requested, c.redirects, practice), c.arrival) << Narrow(c.arrived);
}

TEST(WebAddresses, OnlyHttpAndHttpsWithAHostAndNoControlCharacters) {
    const struct {
        const wchar_t* url;
        const wchar_t* host;  // nullptr: no web address
        unsigned port;
    } cases[] = {
        {L"http://Img.Example.test/b.png", L"img.example.test", 80},
        {L"https://a.test:8443/x?y=1|2", L"a.test", 8443},
        {L"https://a.test", L"a.test", 443},
        {L"javascript:alert(1)", nullptr, 0},
        {L" javascript:alert(1)", nullptr, 0},
        {L"java\tscript:alert(1)", nullptr, 0},
        {L"http://a.test/\nx", nullptr, 0},
        {L"vbscript:x", nullptr, 0},
        {L"file:///C:/x", nullptr, 0},
        {L"\\\\host\\share", nullptr, 0},
        {L"res://mirefold.exe/2000", nullptr, 0},
        {L"about:blank", nullptr, 0},
        {L"//a.test/x", nullptr, 0},
        {L"http:///x", nullptr, 0},
        {L"", nullptr, 0},
    };
    for (const auto& c : cases) {
        const std::optional<gui::WebAddress> address = gui::ParseWebAddress(c.url);
        EXPECT_EQ(address.has_value(), c.host != nullptr) << Narrow(c.url);
        if (address && c.host != nullptr) {
            EXPECT_EQ(address->host, c.host);
            EXPECT_EQ(address->port, c.port);
        }
    }
}

}  // namespace
}  // namespace mf::ui
