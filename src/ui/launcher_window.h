// The launcher window: the product's main window in most run modes. A
// borderless, resizable window filled by the embedded browser that shows the
// practice center; in the "computer" variant (APPLICATION/IsComputer) first a
// loading page with a picture, a bar and a progress line while the update
// worker caches the question-bank files, with the progress in the
// notification-area tooltip. It starts the worker when the page reports
// "type=loadComplete", obeys the page's commands, hides to the notification
// area when closed during the update, and decides at the end what comes
// next: stay open offline, start the main program, or relaunch elevated.
//
// Where no page can load. The update never waits for ever on a page:
// outside the computer variant the worker also starts when the browser
// reports that the practice-center page failed to load, or
// kPageLoadTimeoutMs after the window opened without any word from the page;
// when the browser control cannot be created at all the window logs it
// once, shows its own loading view and starts the worker at once.
#pragma once

#include <windows.h>

#include <functional>

#include "ui/launcher_rules.h"

namespace mf::ui {

inline constexpr UINT kPageLoadTimeoutMs = 20000;

// What the window asks of the application (which sits above it).
struct LauncherActions {
    // Thread entries; the parameter is the window. Both end by sending
    // WM_COMMAND 4380 to it.
    LPTHREAD_START_ROUTINE fullWorker = nullptr;   // the plain form's whole update
    LPTHREAD_START_ROUTINE checkWorker = nullptr;  // the check and enter forms' check
    // The enter form, once the check ended: the question and the main
    // program (the rest of the "appenter" flow).
    std::function<void()> continueEnterFlow;
    // Starts the main program with the .NET check.
    std::function<void(bool prompt)> launchMainProgram;
};

struct LauncherOutcome {
    bool skipLoop = false;  // the user chose to exit: no message loop after it
};

// Shows the window modally (its own message loop) with `owner` as owner when
// that is a window of this process; returns when the window has ended.
LauncherOutcome ShowLauncherWindow(LauncherForm form, HWND owner, const LauncherActions& actions);

// The window class, for tests that find the window (its controls carry the
// numbers of ui/resource_ids.h, children of the browser host 174).
inline constexpr wchar_t kLauncherClass[] = L"MirefoldLauncher";
// The notification-area icon's id (its callback message is in
// base/messages.h).
inline constexpr UINT kTrayIconId = 1;

}  // namespace mf::ui
