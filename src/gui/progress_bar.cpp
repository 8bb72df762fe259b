#include "gui/progress_bar.h"

#include <commctrl.h>

#include "gui/gdi.h"

namespace mf::gui {

int ProgressFillWidth(int width, int lower, int upper, int position) noexcept {
    if (width <= 0 || upper <= lower) return 0;
    const double fill = static_cast<double>(width) * position / (static_cast<double>(upper) - lower);
    if (fill <= 0) return 0;
    if (fill >= width) return width;
    return static_cast<int>(fill);
}

bool CProgressCtrlEx::Create(HWND parent, const RECT& rect, int id) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    const HWND bar = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, rect.left, rect.top,
                                       rect.right - rect.left, rect.bottom - rect.top, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ThisModule(), nullptr);
    if (bar == nullptr) return false;
    if (!Attach(bar)) {
        ::DestroyWindow(bar);
        return false;
    }
    return true;
}

LRESULT CProgressCtrlEx::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PaintScope paint(hwnd());
            if (paint.dc() != nullptr) Paint(paint.dc());
            return 0;
        }
        case WM_PRINTCLIENT: Paint(reinterpret_cast<HDC>(wParam)); return 0;
        case WM_ERASEBKGND: return 1;
        default: return DefaultHandling(message, wParam, lParam);
    }
}

void CProgressCtrlEx::Paint(HDC dc) {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    PBRANGE range{};
    ::SendMessageW(hwnd(), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    const int position = static_cast<int>(::SendMessageW(hwnd(), PBM_GETPOS, 0, 0));
    FillSolid(dc, client, kProgressBackground);
    RECT bar = client;
    bar.right = client.left + ProgressFillWidth(client.right - client.left, range.iLow, range.iHigh, position);
    if (bar.right > bar.left) FillSolid(dc, bar, kProgressColour);
}

}  // namespace mf::gui
