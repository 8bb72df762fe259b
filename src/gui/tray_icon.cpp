#include "gui/tray_icon.h"

namespace mf::gui {

bool TrayIcon::Add(HWND window, UINT id, UINT callbackMessage, HICON icon, const std::wstring& tooltip) noexcept {
    data_.cbSize = sizeof data_;
    data_.hWnd = window;
    data_.uID = id;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.uCallbackMessage = callbackMessage;
    data_.hIcon = icon != nullptr ? icon : ::LoadIconW(nullptr, IDI_APPLICATION);
    ::lstrcpynW(data_.szTip, tooltip.c_str(), ARRAYSIZE(data_.szTip));
    added_ = ::Shell_NotifyIconW(NIM_ADD, &data_) != FALSE;
    return added_;
}

void TrayIcon::SetTooltip(const std::wstring& tooltip) noexcept {
    if (!added_) return;
    data_.uFlags = NIF_TIP;
    ::lstrcpynW(data_.szTip, tooltip.c_str(), ARRAYSIZE(data_.szTip));
    ::Shell_NotifyIconW(NIM_MODIFY, &data_);
}

void TrayIcon::Remove() noexcept {
    if (!added_) return;
    ::Shell_NotifyIconW(NIM_DELETE, &data_);
    added_ = false;
}

}  // namespace mf::gui
