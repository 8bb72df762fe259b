// The push-message rules that speak in Windows types: the local time of a
// SYSTEMTIME, and where the message window goes on the screen.
#pragma once

#include <windows.h>

#include <optional>
#include <string_view>

#include "ui/push_messages.h"

namespace mf::ui {

[[nodiscard]] LocalTime LocalSeconds(const SYSTEMTIME& local);

// Where the window of this size goes on a screen of this size: positions 1
// to 9 are the corners, edge centres and centre, read as on a telephone
// keypad, plus the offsets; any other position leaves the window where it
// is (nullopt).
[[nodiscard]] std::optional<POINT> PlaceMessageWindow(int position, SIZE screen, SIZE window, int xOffset,
                                                      int yOffset);

// The window kept inside the work area, whatever the server's size and
// offsets: no larger than the area, and moved back in where it sticks out.
[[nodiscard]] RECT KeepInside(POINT at, SIZE window, RECT area);

// "ResizeDlg"'s argument, "width|height": nullopt unless both are numbers
// above 0; each is kept within the screen.
[[nodiscard]] std::optional<SIZE> ParseDialogSize(std::wstring_view text, SIZE screen);

}  // namespace mf::ui
