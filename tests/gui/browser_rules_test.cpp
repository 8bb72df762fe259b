// What the browser host does with a message before the browser sees it.
#include <gtest/gtest.h>

#include "base/strings.h"
#include "gui/browser_rules.h"

namespace mf::gui {
namespace {

TEST(BrowserInput, SwallowedKeys) {
    const SIZE control{800, 600};
    const struct {
        UINT message;
        WPARAM key;
        bool ctrl, alt;
        BrowserInput action;
        const wchar_t* debug;
    } cases[] = {
        {WM_KEYDOWN, VK_F1, false, false, BrowserInput::Swallow, L"Function key ignored\r\n"},
        {WM_KEYUP, VK_F5, false, false, BrowserInput::Swallow, L"Function key ignored\r\n"},
        {WM_SYSKEYDOWN, VK_F10, false, false, BrowserInput::Swallow, L"Function key ignored\r\n"},
        {WM_SYSKEYUP, VK_F12, false, true, BrowserInput::Swallow, L"Function key ignored\r\n"},
        {WM_KEYDOWN, VK_HELP, false, false, BrowserInput::Swallow, L"Function key ignored\r\n"},
        {WM_KEYDOWN, VK_ESCAPE, false, false, BrowserInput::Swallow, L"Function key ignored\r\n"},
        {WM_KEYDOWN, 'N', true, false, BrowserInput::Swallow, L"Ctrl-N ignored\r\n"},
        {WM_KEYDOWN, 'C', true, false, BrowserInput::Swallow, L"Ctrl-C ignored\r\n"},
        {WM_KEYUP, 'X', true, false, BrowserInput::Swallow, L"Ctrl-X ignored\r\n"},
        {WM_KEYDOWN, 'P', true, false, BrowserInput::Swallow, L"Ctrl-P ignored\r\n"},
        {WM_KEYDOWN, 'D', true, false, BrowserInput::Swallow, L"Ctrl-D ignored\r\n"},
        {WM_SYSKEYDOWN, VK_LEFT, false, true, BrowserInput::Swallow, L"Atl-Left ignored\r\n"},
        {WM_SYSKEYDOWN, VK_RIGHT, false, true, BrowserInput::Swallow, L"Atl-Right ignored\r\n"},
        // What the page keeps.
        {WM_KEYDOWN, 'C', false, false, BrowserInput::Pass, nullptr},
        {WM_KEYDOWN, 'V', true, false, BrowserInput::Pass, nullptr},
        {WM_KEYDOWN, 'A', true, false, BrowserInput::Pass, nullptr},
        {WM_KEYDOWN, VK_LEFT, false, false, BrowserInput::Pass, nullptr},
        {WM_KEYDOWN, VK_LEFT, true, false, BrowserInput::Pass, nullptr},
        {WM_SYSKEYDOWN, 'N', false, true, BrowserInput::Pass, nullptr},
        {WM_KEYDOWN, VK_F12 + 1, false, false, BrowserInput::Pass, nullptr},  // F13
        {WM_KEYDOWN, VK_TAB, false, false, BrowserInput::Pass, nullptr},
        {WM_CHAR, 'c', true, false, BrowserInput::Pass, nullptr},
    };
    for (const auto& c : cases) {
        const InputDecision d = DecideBrowserInput(c.message, c.key, c.ctrl, c.alt, POINT{10, 10}, control);
        EXPECT_EQ(d.action, c.action) << c.message << " " << c.key;
        EXPECT_EQ(d.debugText == nullptr ? std::wstring(L"-") : std::wstring(d.debugText),
                  c.debug == nullptr ? std::wstring(L"-") : std::wstring(c.debug))
            << c.message << " " << c.key;
    }
}

TEST(BrowserInput, MouseAndTheTitleStrip) {
    const SIZE control{800, 600};
    const struct {
        UINT message;
        POINT p;
        BrowserInput action;
    } cases[] = {
        {WM_RBUTTONDOWN, {400, 300}, BrowserInput::Swallow},
        {WM_RBUTTONDBLCLK, {10, 10}, BrowserInput::Swallow},
        {WM_RBUTTONUP, {400, 300}, BrowserInput::Pass},
        {WM_LBUTTONDOWN, {0, 0}, BrowserInput::DragWindow},
        {WM_LBUTTONDOWN, {679, 23}, BrowserInput::DragWindow},
        {WM_LBUTTONDOWN, {680, 10}, BrowserInput::Pass},   // the right-most 120 pixels
        {WM_LBUTTONDOWN, {100, 24}, BrowserInput::Pass},   // below the strip
        {WM_LBUTTONDOWN, {-1, 10}, BrowserInput::Pass},
        {WM_LBUTTONDBLCLK, {300, 5}, BrowserInput::ToggleMaximised},
        {WM_LBUTTONDBLCLK, {700, 5}, BrowserInput::Pass},  // reaches the page
        {WM_LBUTTONDBLCLK, {300, 200}, BrowserInput::Pass},
        {WM_LBUTTONUP, {300, 5}, BrowserInput::Pass},
        {WM_MOUSEMOVE, {300, 5}, BrowserInput::Pass},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecideBrowserInput(c.message, 0, false, false, c.p, control).action, c.action)
            << c.message << " at " << c.p.x << "," << c.p.y;
    // A control narrower than the right margin has no title strip.
    EXPECT_FALSE(InTitleStrip(POINT{10, 10}, SIZE{100, 600}));
}

TEST(BrowserInput, DoubleClickCallsThePageFunctionForTheFlag) {
    EXPECT_STREQ(TitleDoubleClickFunction(true), L"repair");
    EXPECT_STREQ(TitleDoubleClickFunction(false), L"btnMax");
}

TEST(HtmlDialogNavigation, ThePageStaysItselfAndFramesShowWebPagesOnly) {
    const std::wstring own = L"res://C:\\app\\mirefold.exe/2000";
    const struct {
        const wchar_t* url;
        bool topLevel;
        bool goes;
    } cases[] = {
        {L"res://C:\\app\\mirefold.exe/2000", true, true},
        {L"RES://c:\\APP\\mirefold.exe/2000", true, true},
        {L"about:blank", true, true},
        {L"res://C:\\app\\mirefold.exe/2001", true, false},
        {L"http://offers.test/gift.html", true, false},
        {L"javascript:external.OpenUrl('x')", true, false},
        {L"http://offers.test/gift.html?mac=1", false, true},
        {L"https://offers.test/", false, true},
        {L"about:blank", false, true},
        {L"javascript:parent.external.OpenUrl('file:///c:/x')", false, false},
        {L"vbscript:x", false, false},
        {L"file:///C:/Windows/win.ini", false, false},
        {L"\\\\host\\share\\x.html", false, false},
        {L"res://C:\\app\\mirefold.exe/2000", false, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HtmlDialogMayGo(c.url, c.topLevel, own), c.goes) << Narrow(c.url) << " top " << c.topLevel;
}

}  // namespace
}  // namespace mf::gui
