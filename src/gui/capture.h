// A window's pixels read back: what the window paints, drawn into a bitmap
// of our own (PrintWindow, which also works for hidden or covered windows),
// or copied from the screen where the window is.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace mf::gui {

// 32-bit pixels, top-down rows, 0x00RRGGBB.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> data;

    [[nodiscard]] bool empty() const noexcept { return data.empty(); }
    // The pixel as a COLORREF; CLR_INVALID outside the picture.
    [[nodiscard]] COLORREF At(int x, int y) const noexcept;
    // How many pixels of row y, from x = 0 on, have this colour in a row.
    [[nodiscard]] int RunFromLeft(int y, COLORREF colour) const noexcept;
    // How many pixels of the picture have this colour.
    [[nodiscard]] long long Count(COLORREF colour) const noexcept;
};

// The client area as the window paints it (PrintWindow with the client only).
// The window must belong to this process; empty on failure.
[[nodiscard]] Pixels CaptureClient(HWND window) noexcept;
// The whole window, frame and caption included (PrintWindow).
[[nodiscard]] Pixels CaptureWindow(HWND window) noexcept;
// What the screen shows in the window's rectangle (any process's window;
// it must be on top where it is to be seen).
[[nodiscard]] Pixels CaptureFromScreen(HWND window) noexcept;

// Writes the pixels as a 24-bit BMP file.
bool SaveBmp(const Pixels& pixels, const std::wstring& path) noexcept;

}  // namespace mf::gui
