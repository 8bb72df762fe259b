#include "ui/push_message_place.h"

#include <algorithm>

#include "base/strings.h"

namespace mf::ui {

LocalTime LocalSeconds(const SYSTEMTIME& local) {
    return LocalSecondsOf(local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond);
}

std::optional<POINT> PlaceMessageWindow(int position, SIZE screen, SIZE window, int xOffset, int yOffset) {
    if (position < 1 || position > 9) return std::nullopt;
    const int column = (position - 1) % 3;
    const int row = (position - 1) / 3;
    auto along = [](int place, LONG space, LONG size) -> LONG {
        if (place == 0) return 0;
        if (place == 1) return (space - size) / 2;
        return space - size;
    };
    // Offsets from a server may be anything: added without overflow, and
    // kept within a range any screen fits in (KeepInside does the rest).
    auto offset = [](LONG base, int by) {
        return static_cast<LONG>(std::clamp<long long>(static_cast<long long>(base) + by, -1000000, 1000000));
    };
    return POINT{offset(along(column, screen.cx, window.cx), xOffset), offset(along(row, screen.cy, window.cy), yOffset)};
}

RECT KeepInside(POINT at, SIZE window, RECT area) {
    const LONG width = std::clamp<LONG>(window.cx, 1, std::max<LONG>(area.right - area.left, 1));
    const LONG height = std::clamp<LONG>(window.cy, 1, std::max<LONG>(area.bottom - area.top, 1));
    const LONG left = std::clamp<LONG>(at.x, area.left, std::max<LONG>(area.right - width, area.left));
    const LONG top = std::clamp<LONG>(at.y, area.top, std::max<LONG>(area.bottom - height, area.top));
    return RECT{left, top, left + width, top + height};
}

std::optional<SIZE> ParseDialogSize(std::wstring_view text, SIZE screen) {
    const std::size_t bar = text.find(L'|');
    if (bar == std::wstring_view::npos) return std::nullopt;
    const long width = ParseLong(text.substr(0, bar));
    const long height = ParseLong(text.substr(bar + 1));
    if (width <= 0 || height <= 0) return std::nullopt;
    return SIZE{std::min<LONG>(width, std::max<LONG>(screen.cx, 1)),
                std::min<LONG>(height, std::max<LONG>(screen.cy, 1))};
}

}  // namespace mf::ui
