#include "gui/gdi.h"

namespace mf::gui {

MemoryCanvas::MemoryCanvas(HDC like, int width, int height) noexcept
    : dc_(::CreateCompatibleDC(like)), width_(width > 0 ? width : 1), height_(height > 0 ? height : 1) {
    if (!dc_) return;
    bitmap_.reset(::CreateCompatibleBitmap(like, width_, height_));
    if (bitmap_) old_ = ::SelectObject(dc_.get(), bitmap_.get());
}

MemoryCanvas::~MemoryCanvas() {
    // The bitmap is deselected before the DC and the bitmap are deleted.
    if (old_ != nullptr) ::SelectObject(dc_.get(), old_);
}

void MemoryCanvas::CopyTo(HDC target, int x, int y) const noexcept {
    if (valid()) ::BitBlt(target, x, y, width_, height_, dc_.get(), 0, 0, SRCCOPY);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) noexcept {
    const COLORREF old = ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(dc, old);
}

}  // namespace mf::gui
