// The update center: a notification-area icon with a small skinned pop-up in
// the bottom-right corner of the screen. It checks for updates at once and
// then every "CheckTmSpan" minutes, each check on a thread of its own that
// reports through the status message; it tells the result in the icon's
// tooltip, pops up when files need updating, counts down to an automatic
// update and offers links to check again or update now. The update runs in
// the launcher window on the dialog's thread. The engine ends with the
// dialog: through the icon's "Exit", or by itself after a check or an
// update when no periodic check is configured.
#pragma once

#include <windows.h>

#include <functional>

namespace mf::ui {

// How an update run from the dialog ended.
struct UpdateRunEnd {
    int status = 0;     // the update status it ended with
    int fileCount = 0;  // files the run's list held
};

// What the dialog asks of the application (which sits above it).
struct UpdateCenterActions {
    // One update check, run on a thread of the dialog's own; it reports by
    // the status message to the windows registered for it, the dialog among
    // them.
    std::function<void()> check;
    // The whole update in the launcher window, on the dialog's thread;
    // returns when that window has ended.
    std::function<UpdateRunEnd()> update;
    // Seconds since 1970.
    std::function<long long()> now;
};

// Shows the dialog modally; returns when it has ended.
void ShowUpdateCenter(const UpdateCenterActions& actions);

// The notification-area icon's id (its callback message is in
// base/messages.h).
inline constexpr UINT kUpdateCenterIconId = 1026;
// Its timer, every 500 ms.
inline constexpr UINT kUpdateCenterTickMs = 500;

}  // namespace mf::ui
