// Driving windows as a person meets them: find a window or dialog of a
// process on screen, read its texts, press its buttons, read its pixels back.
// Works across processes (the engine started by a test) and within one (a
// control created by the test itself, driven from another thread).
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "gui/capture.h"
#include "gui/window.h"

namespace mf::test {

using namespace std::chrono_literals;

// Visible top-level windows of the process (its Windows process id), of the
// class when one is given, in Z order.
std::vector<HWND> TopLevelWindows(DWORD processId, const std::wstring& className = {});

// The first visible top-level window of the process with this class (and
// this title when one is given), or null.
HWND FindTopLevel(DWORD processId, const std::wstring& className, const std::wstring& title = {});
// The same, waiting for it; null on time-out.
HWND WaitForTopLevel(DWORD processId, const std::wstring& className, std::chrono::milliseconds timeout = 20s,
                     const std::wstring& title = {});
// A dialog (class "#32770") of the process; with `title`, only one with it.
HWND WaitForDialog(DWORD processId, std::chrono::milliseconds timeout = 20s, const std::wstring& title = {});
// A dialog of the process that holds a control with this id; null on time-out.
HWND WaitForDialogWithControl(DWORD processId, int controlId, std::chrono::milliseconds timeout = 20s);
// Waits until the window is gone.
bool WaitForWindowToClose(HWND window, std::chrono::milliseconds timeout = 20s);

// The first descendant of the class (depth first), or null.
HWND FindDescendant(HWND parent, const std::wstring& className);
[[nodiscard]] std::wstring ClassOf(HWND window);

// The window's text through WM_GETTEXT, with a time-out, so a hung window
// cannot hang the test.
[[nodiscard]] std::wstring TextOf(HWND window);
[[nodiscard]] std::wstring ControlText(HWND dialog, int controlId);
// The texts of the dialog's static controls, one a line (how a message box
// shows its message).
[[nodiscard]] std::wstring StaticTexts(HWND dialog);
// Waits until the control shows this text.
bool WaitForControlText(HWND dialog, int controlId, const std::wstring& text,
                        std::chrono::milliseconds timeout = 20s);
[[nodiscard]] bool ControlEnabled(HWND dialog, int controlId);
bool WaitForControlEnabled(HWND dialog, int controlId, bool enabled, std::chrono::milliseconds timeout = 20s);

// Presses a button the way a click does (BM_CLICK, posted, so a modal loop
// that the click opens does not block the test). False when the button is
// missing or disabled.
bool PressButton(HWND dialog, int buttonId);

// The window's pixels: painted into a bitmap of our own when the window is
// this process's (hidden and covered windows too), else copied from the
// screen after the window is brought to the top.
[[nodiscard]] gui::Pixels ReadPixels(HWND window);

// Whether this program runs in the Chinese locale (ANSI code page 936). A
// suite whose windows must show Chinese in system-drawn controls asks for
// it in tests/CMakeLists.txt (mirefold_test_suite(... LOCALE zh_CN.UTF-8)):
// Wine takes the locale from the Unix environment of the program it starts,
// and a started program inherits its parent's, whatever the Windows
// environment says.
[[nodiscard]] bool InChineseLocale();

// A top-level popup of the test's own that holds the controls under test
// (hidden unless asked); it records the WM_COMMAND wParams it receives. A
// test that stands in for a window of the engine records more by
// overriding OnMessage.
class HolderWindow : public gui::Window {
public:
    explicit HolderWindow(const RECT& rect = RECT{0, 0, 420, 220}, bool visible = false, DWORD extraStyle = 0);
    std::vector<WPARAM> commands;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// Pumps this thread's messages for a while (for windows the test owns), or
// until `done` holds.
void PumpMessages(std::chrono::milliseconds duration, const std::function<bool()>& done = {});

}  // namespace mf::test
