// What the embedded browser's host does with a message before the browser
// sees it: pure decisions on plain values, so that they are tested in
// tables; the browser host only carries them out.
#pragma once

#include <windows.h>

#include <string_view>

namespace mf::gui {

// The title strip of the page: the top 24 pixels of the control, left of its
// right-most 120 pixels (where the page keeps its own buttons).
inline constexpr int kTitleStripHeight = 24;
inline constexpr int kTitleStripRightMargin = 120;

[[nodiscard]] bool InTitleStrip(POINT inControl, SIZE control);

enum class BrowserInput {
    Pass,              // the browser gets it
    Swallow,           // nobody gets it (keys that open, copy, print or go back)
    DragWindow,        // the parent is dragged by its caption
    ToggleMaximised,   // the parent is maximised or restored and the page told
};

struct InputDecision {
    BrowserInput action = BrowserInput::Pass;
    const wchar_t* debugText = nullptr;  // for the debugger's output, when swallowed
};

// `key` is wParam of a keyboard message; `inControl` the message's point in
// the control's client coordinates (used for mouse messages only).
[[nodiscard]] InputDecision DecideBrowserInput(UINT message, WPARAM key, bool ctrlDown, bool altDown, POINT inControl,
                                               SIZE control);

// The page function that a double click in the title strip calls, by the
// shared maximised flag before it is inverted.
[[nodiscard]] const wchar_t* TitleDoubleClickFunction(bool maximised);

// Where an HTML dialog's browser may go: the control itself stays on the
// dialog's own page (`ownPage`, a res: address of the executable); a frame
// goes to http(s) addresses and "about:blank" only, so that no address
// handed to the page runs as script inside it (javascript:) or opens a
// file. True: the navigation goes on.
[[nodiscard]] bool HtmlDialogMayGo(std::wstring_view url, bool topLevel, std::wstring_view ownPage);

}  // namespace mf::gui
