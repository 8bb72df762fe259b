// Every window message number of the engine, in one place. The numbers are
// part of the protocol with host applications and between the engine's own
// windows; never renumber them.
#pragma once

#include <windows.h>

namespace mf::msg {

// Host notification protocol (sent to notification windows).
inline constexpr UINT kStatus = 1974;       // 0x7B6: wParam status code, lParam file count
inline constexpr UINT kTextLine = 1975;     // 0x7B7: lParam remote text address
inline constexpr UINT kFileCount = 1976;    // 0x7B8: wParam completed count, lParam total
inline constexpr UINT kDescription = 1977;  // 0x7B9: lParam remote text address
inline constexpr UINT kByteProgress = 1978; // 0x7BA: wParam file size, lParam bytes so far
inline constexpr UINT kStatusText = 1034;   // 0x40A (WM_USER+10): lParam remote text address

// Downloader progress (sent to the owner window).
inline constexpr UINT kFileSize = 1038;      // 0x40E (WM_USER+14)
inline constexpr UINT kFileProgress = 1039;  // 0x40F (WM_USER+15)
inline constexpr UINT kFileStarted = 1040;   // 0x410 (WM_USER+16)
inline constexpr UINT kRecordProgress = 1041; // WM_USER+17
inline constexpr UINT kPhaseState = 1057;    // WM_USER+33
inline constexpr UINT kPartProgress = 1058;  // 0x422
inline constexpr UINT kBlockSize = 1059;     // 0x423
inline constexpr UINT kDownloadDone = 1060;
inline constexpr UINT kDownloadFailed = 1061;

// Phase results for the update center (posted to the dialog's parent).
inline constexpr UINT kPhaseResult = 1136;             // WM_USER+112: lParam 3 local check ran, 5 installed
inline constexpr UINT kUpdateCenterContinue = 12324;   // WM_COMMAND id: the local check is ready, go on

// Push messages (sent, with a system string in lParam that the sender frees).
inline constexpr UINT kPushShow = 1029;     // 0x405: wParam 1, the record text (scheduler -> launcher -> window)
inline constexpr UINT kPushRetired = 1030;  // 0x406: wParam 0, the message id (window -> launcher -> scheduler)
// The offer watch asks the push-message window to retire the offer on show.
inline constexpr UINT kPushRetireOffer = WM_APP + 29;
// An offer check's answer has come (posted by the check's thread to the
// push-message window, which takes the answers from its own queue).
inline constexpr UINT kPushOfferChecked = WM_APP + 41;

// The launcher window's notification-area icon (lParam: the mouse message).
inline constexpr UINT kLauncherTrayIcon = 9025;        // 0x2341

// The update center: its notification-area icon (lParam: the mouse
// message), a check thread's end (posted to the dialog), and the update
// that a link asked for (posted to itself, so that it runs from the
// dialog's loop rather than inside the click).
inline constexpr UINT kUpdateCenterTrayIcon = 1124;    // 0x464
inline constexpr UINT kUpdateCenterCheckDone = WM_APP + 30;
inline constexpr UINT kUpdateCenterUpdateNow = WM_APP + 31;

}  // namespace mf::msg

// WM_COMMAND identifiers the engine's workers post or send to their owner
// window.
namespace mf::cmd {

inline constexpr UINT kCheckFinished = 1056;  // the update check found its list
inline constexpr UINT kInstallDone = 4323;    // the update worker installed (or had nothing to install)
inline constexpr UINT kWorkerDone = 4380;     // the update worker has finished

}  // namespace mf::cmd
