// Scoped GDI state: a paint cycle, a borrowed device context, an object
// selected into a DC, and an off-screen canvas. Objects that are created
// (brushes, fonts, bitmaps) are owned by UniqueGdiObject of base/handles.h.
#pragma once

#include <windows.h>

#include "base/handles.h"

namespace mf::gui {

// BeginPaint ... EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND window) noexcept : window_(window) { dc_ = ::BeginPaint(window, &paint_); }
    ~PaintScope() { ::EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    [[nodiscard]] HDC dc() const noexcept { return dc_; }
    [[nodiscard]] const RECT& dirty() const noexcept { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

// GetDC ... ReleaseDC (null window: the screen).
class WindowDc {
public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    [[nodiscard]] HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// SelectObject, undone on scope exit.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(::SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (old_ != nullptr && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A memory DC with a bitmap compatible with `like` selected into it: draw
// off screen, then copy to the window in one BitBlt.
class MemoryCanvas {
public:
    MemoryCanvas(HDC like, int width, int height) noexcept;
    ~MemoryCanvas();
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;
    [[nodiscard]] bool valid() const noexcept { return dc_.valid() && bitmap_.valid(); }
    [[nodiscard]] HDC dc() const noexcept { return dc_.get(); }
    [[nodiscard]] int width() const noexcept { return width_; }
    [[nodiscard]] int height() const noexcept { return height_; }
    // Copies the canvas to (x, y) of `target`.
    void CopyTo(HDC target, int x = 0, int y = 0) const noexcept;

private:
    UniqueMemoryDc dc_;
    UniqueGdiObject bitmap_;
    HGDIOBJ old_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

[[nodiscard]] inline UniqueGdiObject SolidBrush(COLORREF colour) noexcept {
    return UniqueGdiObject(::CreateSolidBrush(colour));
}

// Fills a rectangle with one colour, without a brush of its own.
void FillSolid(HDC dc, const RECT& rect, COLORREF colour) noexcept;

}  // namespace mf::gui
