// A progress bar that paints itself in the product's colours: white, and
// from the left edge a bar of RGB(219,88,0) as wide as the position's share
// of the range. It is the system's progress control (range and position
// work as usual), with its painting replaced.
#pragma once

#include <windows.h>

#include "gui/window.h"

namespace mf::gui {

inline constexpr COLORREF kProgressColour = RGB(219, 88, 0);
inline constexpr COLORREF kProgressBackground = RGB(255, 255, 255);

// The filled width: width × position ÷ (upper − lower), in floating point
// and truncated, kept within 0 ... width (an empty range fills nothing).
[[nodiscard]] int ProgressFillWidth(int width, int lower, int upper, int position) noexcept;

class CProgressCtrlEx : public Subclass {
public:
    // A visible progress control, child of `parent`, painted by this object.
    bool Create(HWND parent, const RECT& rect, int id);

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint(HDC dc);
};

}  // namespace mf::gui
