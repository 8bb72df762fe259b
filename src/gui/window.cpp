#include "gui/window.h"

#include <commctrl.h>

#include <utility>

#include "gui/gdi.h"

namespace mf::gui {

namespace {

// The identifier of our subclass among others on the same window.
constexpr UINT_PTR kSubclassId = 0x4D46;  // "MF"

}  // namespace

HINSTANCE ThisModule() noexcept { return ::GetModuleHandleW(nullptr); }

bool RegisterWindowClass(const wchar_t* name, UINT style, HBRUSH background, const wchar_t* cursor) noexcept {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = Window::Procedure;
    wc.hInstance = ThisModule();
    wc.hCursor = cursor != nullptr ? ::LoadCursorW(nullptr, cursor) : nullptr;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    if (::RegisterClassExW(&wc) != 0) return true;
    return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

namespace {

// The window's last messages must not reach an object whose derived parts
// are gone (a virtual call would land in the base): the window is first
// let go of, then, when its owner has not destroyed it, destroyed as an
// ordinary window of its class.
void Orphan(HWND window, int slot) noexcept {
    if (window == nullptr || !::IsWindow(window)) return;
    ::SetWindowLongPtrW(window, slot, 0);
    ::DestroyWindow(window);
}

}  // namespace

Window::~Window() { Orphan(std::exchange(hwnd_, nullptr), GWLP_USERDATA); }

bool Window::Create(const wchar_t* className, const std::wstring& title, DWORD style, DWORD exStyle,
                    const RECT& rect, HWND parent, UINT_PTR idOrMenu) noexcept {
    if (hwnd_ != nullptr) return false;
    const HWND created = ::CreateWindowExW(exStyle, className, title.c_str(), style, rect.left, rect.top,
                                           rect.right - rect.left, rect.bottom - rect.top, parent,
                                           reinterpret_cast<HMENU>(idOrMenu), ThisModule(), this);
    return created != nullptr;
}

bool Window::CreateInPlaceOf(HWND dialog, int controlId, const wchar_t* className, DWORD extraStyle) noexcept {
    const HWND control = ::GetDlgItem(dialog, controlId);
    if (control == nullptr) return false;
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
    ::DestroyWindow(control);
    if (!Create(className, L"", WS_CHILD | WS_VISIBLE | extraStyle, 0, rect, dialog,
                static_cast<UINT_PTR>(controlId)))
        return false;
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return true;
}

void Window::Destroy() noexcept {
    if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

LRESULT Window::HandlePaint(UINT message, WPARAM wParam) noexcept {
    try {
        if (message == WM_PRINTCLIENT) {
            RECT client{};
            ::GetClientRect(hwnd_, &client);
            Paint(reinterpret_cast<HDC>(wParam), client);
            return 0;
        }
        PaintScope paint(hwnd_);
        if (paint.dc() != nullptr) Paint(paint.dc(), paint.dirty());
    } catch (...) {
        // Nothing drawn; the window stays valid and paints next time.
    }
    return 0;
}

void Window::Paint(HDC, const RECT&) {}

LRESULT CALLBACK Window::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        self = static_cast<Window*>(create->lpCreateParams);
        if (self == nullptr) return FALSE;
        self->hwnd_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    try {
        result = self->OnMessage(message, wParam, lParam);
    } catch (...) {
        result = message == WM_NCCREATE ? FALSE : ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->OnDestroyed();
    }
    return result;
}

Dialog::~Dialog() { Orphan(std::exchange(hwnd_, nullptr), DWLP_USER); }

void Dialog::Destroy() noexcept {
    if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

INT_PTR Dialog::RunModal(int templateId, HWND owner) noexcept {
    return ::DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(templateId), owner, Procedure,
                             reinterpret_cast<LPARAM>(this));
}

HWND Dialog::CreateModeless(int templateId, HWND owner) noexcept {
    return ::CreateDialogParamW(ThisModule(), MAKEINTRESOURCEW(templateId), owner, Procedure,
                                reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        if (self == nullptr) return FALSE;
        self->hwnd_ = window;
        ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    }
    // Messages before WM_INITDIALOG (WM_SETFONT) find no object yet.
    if (self == nullptr) return FALSE;
    INT_PTR handled = FALSE;
    try {
        handled = self->OnMessage(message, wParam, lParam);
    } catch (...) {
        handled = FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        self->hwnd_ = nullptr;
        self->OnDestroyed();
    }
    return handled;
}

Subclass::~Subclass() { Detach(); }

bool Subclass::Attach(HWND window) noexcept {
    if (hwnd_ != nullptr || window == nullptr) return false;
    if (!::SetWindowSubclass(window, Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) return false;
    hwnd_ = window;
    return true;
}

void Subclass::Detach() noexcept {
    if (hwnd_ == nullptr) return;
    ::RemoveWindowSubclass(hwnd_, Procedure, kSubclassId);
    hwnd_ = nullptr;
}

LRESULT Subclass::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return ::DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Subclass::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data) noexcept {
    auto* self = reinterpret_cast<Subclass*>(data);
    LRESULT result = 0;
    try {
        result = self->OnMessage(message, wParam, lParam);
    } catch (...) {
        result = ::DefSubclassProc(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(window, Procedure, kSubclassId);
        self->hwnd_ = nullptr;
    }
    return result;
}

}  // namespace mf::gui
