// A window's icon in the notification area, with its tooltip; removed by
// Remove() or when this object goes.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace mf::gui {

class TrayIcon {
public:
    TrayIcon() = default;
    ~TrayIcon() { Remove(); }
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Shows the icon (the system's application icon when `icon` is null);
    // mouse events come to `window` as `callbackMessage`. False when the
    // shell refuses.
    bool Add(HWND window, UINT id, UINT callbackMessage, HICON icon, const std::wstring& tooltip) noexcept;
    // Nothing while the icon is not shown.
    void SetTooltip(const std::wstring& tooltip) noexcept;
    void Remove() noexcept;

private:
    NOTIFYICONDATAW data_{};
    bool added_ = false;
};

}  // namespace mf::gui
