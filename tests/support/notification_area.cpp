#include "support/notification_area.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>

#include "support/test_support.h"
#include "support/window_driver.h"

namespace mf::test {

namespace {

void MouseInput(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    ::SendInput(1, &input, sizeof input);
}

void MoveTo(POINT at) {
    ::SetCursorPos(at.x, at.y);
    MouseInput(MOUSEEVENTF_MOVE);
}

BOOL CALLBACK CollectTip(HWND window, LPARAM context) {
    if (ClassOf(window) == TOOLTIPS_CLASSW && ::IsWindowVisible(window)) {
        const std::wstring text = TextOf(window);
        if (!text.empty()) *reinterpret_cast<std::wstring*>(context) = text;
    }
    return TRUE;
}

}  // namespace

std::vector<HWND> TrayIcons() {
    std::vector<HWND> icons;
    HWND tray = ::FindWindowW(L"__winex11_standalone_tray", nullptr);
    if (tray == nullptr) return icons;
    for (HWND icon = ::FindWindowExW(tray, nullptr, L"__winex11_tray_icon", nullptr); icon != nullptr;
         icon = ::FindWindowExW(tray, icon, L"__winex11_tray_icon", nullptr))
        icons.push_back(icon);
    return icons;
}

void RaiseTray() {
    if (HWND tray = ::FindWindowW(L"__winex11_standalone_tray", nullptr))
        ::SetWindowPos(tray, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

POINT ScreenCentreOf(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void ClickAt(POINT at, bool right) {
    MoveTo(at);
    ::Sleep(100);
    MouseInput(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    MouseInput(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
}

void DoubleClickAt(POINT at) {
    MoveTo(at);
    ::Sleep(100);
    for (int i = 0; i < 2; ++i) {
        MouseInput(MOUSEEVENTF_LEFTDOWN);
        MouseInput(MOUSEEVENTF_LEFTUP);
    }
}

void PressKey(WORD key) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, input, sizeof input[0]);
}

std::wstring HoverTooltip(HWND icon) {
    using namespace std::chrono_literals;
    RaiseTray();
    MoveTo(POINT{0, 600});
    ::Sleep(300);
    MoveTo(ScreenCentreOf(icon));
    std::wstring tip;
    WaitUntil(
        [&] {
            ::EnumWindows(CollectTip, reinterpret_cast<LPARAM>(&tip));
            return !tip.empty();
        },
        6s, 100ms);
    MoveTo(POINT{0, 600});
    return tip;
}

}  // namespace mf::test
