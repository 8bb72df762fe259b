// The notification area as a person meets it under Wine: the icons in
// Wine's system tray window, clicked, double-clicked and hovered with real
// mouse input, and the tooltip read back once it shows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace mf::test {

// The icons Wine shows, each a child window of its system tray window.
std::vector<HWND> TrayIcons();
// Puts the tray above other windows (on Windows the notification area lies
// above them; Wine's tray without a window manager is a plain window).
void RaiseTray();

// Real mouse input at a point of the screen.
void ClickAt(POINT at, bool right = false);
void DoubleClickAt(POINT at);
// A key pressed and released.
void PressKey(WORD key);
[[nodiscard]] POINT ScreenCentreOf(HWND window);

// The icon's tooltip: the mouse rests on the icon until the tip shows, then
// leaves again. Empty when no tip showed.
std::wstring HoverTooltip(HWND icon);

}  // namespace mf::test
