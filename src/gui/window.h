// Windows bound to C++ objects. The object is attached at the first message
// that carries it (WM_NCCREATE for a window, WM_INITDIALOG for a dialog, the
// subclass call for a control) and detached at the last one, so a handler
// always finds its object and never outlives it. Every window procedure here
// is noexcept: an exception thrown by a handler is caught at the procedure,
// and the message gets the answer that leaves the system's own handling in
// charge (window creation fails, a dialog message counts as not handled).
#pragma once

#include <windows.h>

#include <string>

namespace mf::gui {

// The module whose resources and window classes the windows use: the
// executable that links this library.
[[nodiscard]] HINSTANCE ThisModule() noexcept;

// Registers a class whose procedure is Window's; registering a class twice
// is fine. False when the system refuses.
bool RegisterWindowClass(const wchar_t* name, UINT style = CS_HREDRAW | CS_VREDRAW,
                         HBRUSH background = nullptr, const wchar_t* cursor = IDC_ARROW) noexcept;

// A window created by this object, of a class registered above. The owner
// destroys the window (Destroy) while the object is whole, so that its
// handlers see the last messages; the destructor only lets go of a window
// still alive (none of its messages reach the object any more) and leaves
// it to the system's default handling as it goes.
class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    [[nodiscard]] HWND hwnd() const noexcept { return hwnd_; }

    bool Create(const wchar_t* className, const std::wstring& title, DWORD style, DWORD exStyle, const RECT& rect,
                HWND parent, UINT_PTR idOrMenu = 0) noexcept;
    // Takes the place of a dialog's control: the control's rectangle (in the
    // dialog's client coordinates), its id and its font; the control is
    // destroyed and this window created there, visible.
    bool CreateInPlaceOf(HWND dialog, int controlId, const wchar_t* className, DWORD extraStyle = 0) noexcept;
    void Destroy() noexcept;

    // The procedure that every class of RegisterWindowClass names.
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

protected:
    // Handles one message; the default handling is DefaultHandling().
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        return ::DefWindowProcW(hwnd_, message, wParam, lParam);
    }
    // Called after the last message (WM_NCDESTROY) with hwnd() already null.
    virtual void OnDestroyed() noexcept {}

    // A window that paints itself answers WM_PAINT and WM_PRINTCLIENT with
    // HandlePaint(), which draws through Paint() into the screen or into the
    // DC of PrintWindow (hidden and covered windows are printed that way).
    LRESULT HandlePaint(UINT message, WPARAM wParam) noexcept;
    virtual void Paint(HDC dc, const RECT& dirty);

private:
    HWND hwnd_ = nullptr;
};

// A window whose messages a method of its owner handles: a panel or a
// container that is one part of a larger object. The handler gets the
// window and falls back on DefWindowProcW itself.
template <class Owner>
class OwnedWindow final : public Window {
public:
    using Handler = LRESULT (Owner::*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    OwnedWindow(Owner& owner, Handler handler) : owner_(owner), handler_(handler) {}

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        return (owner_.*handler_)(hwnd(), message, wParam, lParam);
    }

private:
    Owner& owner_;
    Handler handler_;
};

// A dialog from a template of ThisModule(), modal or modeless. As with
// Window, the owner destroys a modeless dialog; the destructor only lets go.
class Dialog {
public:
    Dialog() = default;
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    [[nodiscard]] HWND hwnd() const noexcept { return hwnd_; }

    // DialogBoxParamW: the value given to EndDialog, or -1 when the dialog
    // could not be created.
    INT_PTR RunModal(int templateId, HWND owner) noexcept;
    // CreateDialogParamW: the dialog, or null.
    HWND CreateModeless(int templateId, HWND owner) noexcept;
    // A modeless dialog's end, while the object is whole.
    void Destroy() noexcept;

protected:
    // Handles one message the way a dialog procedure does: TRUE when
    // handled (with a result set by SetResult() where the message has one).
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    void SetResult(LRESULT result) noexcept { ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result); }
    virtual void OnDestroyed() noexcept {}

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    HWND hwnd_ = nullptr;
};

// A window of another class (a system control, a dialog's control, a
// foreign child) whose messages pass through this object first.
class Subclass {
public:
    Subclass() = default;
    virtual ~Subclass();
    Subclass(const Subclass&) = delete;
    Subclass& operator=(const Subclass&) = delete;

    [[nodiscard]] HWND hwnd() const noexcept { return hwnd_; }
    bool Attach(HWND window) noexcept;
    void Detach() noexcept;

protected:
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The control's own handling.
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR data) noexcept;
    HWND hwnd_ = nullptr;
};

}  // namespace mf::gui
