// The launcher window's decisions and texts as functions of plain values:
// which page command a navigation carries, where the borderless window is
// resized from, where the loading page's controls go, and how the progress
// messages of an update become the bar, the progress line and the
// notification-area tooltip. The window only carries them out.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "gui/web_address.h"

namespace mf::ui {

// The launcher's forms, fixed when it is made.
enum class LauncherForm : int { Plain = 0, Check = 1, Enter = 2 };

// How the window is shown; -1 means hidden to the notification area.
enum class ShowState : int { Hidden = -1, Minimised = 0, Restored = 1, Maximised = 2 };

enum class PageCommand {
    None,          // not a command: the page navigates
    LoadComplete,  // "type=loadComplete"
    Activate,      // "type=activate": the companion program
    Minimise,      // "type=system&op=min"
    Maximise,      // "type=system&op=max"
    Restore,       // "type=system&op=repair"
    Exit,          // "type=system&op=exit"
    ActivateApp,   // "Type=activateApp": handled, nothing happens
    MoveWindow,    // "Type=moveWindows"
};

// The first command, in the launcher's fixed order, whose text occurs
// anywhere in the URL (case-sensitive).
[[nodiscard]] PageCommand PageCommandIn(std::wstring_view url);

// Where the launcher's browser may go. The engine runs elevated and the
// network path can write any page, so the browser stays on the practice
// center's own site (the host and port of PracticeCenterURL):
// - the control itself goes only to http(s) addresses of that site (and
//   to "about:blank", where a refused page is left);
// - a frame goes to any http(s) address or "about:blank", never to file:,
//   UNC paths, res:, javascript: or anything else;
// - a page command counts only when it addresses the practice site and
//   comes from the practice center's top-level document: from the control
//   itself, or from a frame that shows the practice site or nothing (the
//   hidden frame the practice page sends its commands through); a frame
//   showing another site sends none. A refused command is cancelled.
enum class NavigationVerdict { Go, Command, Refuse };
struct NavigationFacts {
    bool topLevel = true;
    std::wstring frameLocation;  // a frame's address before it navigates
    std::wstring topLocation;    // the control's document ("" before the first)
};
[[nodiscard]] NavigationVerdict DecideNavigation(std::wstring_view url, const NavigationFacts& facts,
                                                 const gui::WebAddress& practice);

// The control's document arrived at `arrived` after asking for
// `requested`: a server's redirect to the practice site is followed once;
// any other arrival is left.
enum class Arrival { Stay, Redirected, Leave };
[[nodiscard]] Arrival JudgeArrival(std::wstring_view arrived, std::wstring_view requested, int redirectsSoFar,
                                   const gui::WebAddress& practice);

// The borderless window's hit test in its restored state: a 5-pixel band
// inside the client edge resizes, everything else drags.
inline constexpr int kResizeBand = 5;
[[nodiscard]] LRESULT ResizeHitTest(POINT inClient, SIZE client);

// The loading page inside the browser host: the bar keeps its size, centred,
// its top at half the height + 50; the picture (394 x 152) centred on top
// of the bar; the progress line centred 10 pixels below the bar.
inline constexpr SIZE kLoadingPictureSize{394, 152};
inline constexpr SIZE kLoadingBarSize{200, 5};
struct LoadingLayout {
    RECT picture;
    RECT bar;
    RECT line;
};
[[nodiscard]] LoadingLayout LayOutLoadingPage(SIZE host, SIZE bar, SIZE line);

// The first restore: 800 x 600 centred on the screen (at its top-left edge
// when the screen is smaller).
inline constexpr SIZE kRestoredSize{800, 600};
[[nodiscard]] RECT FirstRestoreRect(SIZE screen);

// Texts (the product's display name is part of them).
inline constexpr const wchar_t* kProductTitle = L"澜石题库";
inline constexpr const wchar_t* kExitQuestion = L"您要退出澜石题库吗？";
inline constexpr const wchar_t* kCachedTitle = L"澜石题库（数据缓存完毕，不联网也可以使用了）";
inline constexpr const wchar_t* kAlmostCachedTooltip = L"澜石题库（数据缓存即将完毕）";
[[nodiscard]] std::wstring CachingTooltip(int percent);
[[nodiscard]] std::wstring DownloadStatusText(int percent);
[[nodiscard]] std::wstring ProgressLineText(int percent);

// The window title: the main program's name without ".exe".
[[nodiscard]] std::wstring LauncherTitle(std::wstring application);

// The progress of the caching update as the window sees it. Progress is a
// percentage that only the byte and status messages move (1 at first, at
// most 100); the bar (1..1000) follows it at each timer tick and never moves
// back; the tooltip only ever rises.
class LoadingProgress {
public:
    // Message 1974: the status the next status text is judged by.
    void OnStatus(int status) { status_ = status; }
    // Message 1976.
    void OnFileCount(int done, int total) {
        filesDone_ = done;
        fileTotal_ = total;
    }
    // Message 1978 (file size, bytes received). True when the texts changed.
    bool OnByteProgress(long size, long received);
    // Message 1034. True when the texts changed (error statuses and unknown
    // ones leave everything as it was).
    bool OnStatusText(const std::wstring& text);

    struct Tick {
        int bar = 0;
        std::wstring line;
        bool done = false;  // the bar is full: the timer stops
    };
    // Timer 1.
    Tick OnTimer();

    [[nodiscard]] float progress() const { return progress_; }
    [[nodiscard]] int bar() const { return bar_; }
    [[nodiscard]] const std::wstring& statusText() const { return statusText_; }
    // The tooltip the last refresh chose, once; nullopt when it stays.
    std::optional<std::wstring> TakeTooltip() { return std::exchange(tooltip_, std::nullopt); }

private:
    void RefreshTexts();

    int status_ = 0;
    int filesDone_ = 0;
    int fileTotal_ = 0;
    float progress_ = 1.0f;
    int bar_ = 0;
    int tooltipPercent_ = 0;
    std::wstring statusText_;
    std::optional<std::wstring> tooltip_;
};

}  // namespace mf::ui
