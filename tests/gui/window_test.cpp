// The window base: the object is bound for every message from creation to
// destruction, no exception leaves a procedure, and what a window paints can
// be read back; dialogs come from the program's own resources.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <stdexcept>
#include <vector>

#include "gui/gdi.h"
#include "gui/window.h"
#include "support/test_support.h"
#include "support/window_driver.h"
#include "ui/resource_ids.h"

namespace mf::gui {
namespace {

using namespace std::chrono_literals;

constexpr UINT kThrow = WM_APP + 1;
constexpr wchar_t kClass[] = L"MirefoldTestWindow";

class Probe : public Window {
public:
    std::vector<UINT> seen;
    bool boundAtCreate = false;
    bool destroyed = false;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        if (message == WM_NCCREATE) boundAtCreate = hwnd() != nullptr;
        if (message == kThrow) throw std::runtime_error("handler failed");
        if (message == WM_PAINT || message == WM_PRINTCLIENT) return HandlePaint(message, wParam);
        return DefaultHandling(message, wParam, lParam);
    }
    void Paint(HDC dc, const RECT&) override {
        RECT client{};
        ::GetClientRect(hwnd(), &client);
        FillSolid(dc, client, RGB(255, 255, 255));
        RECT left = client;
        left.right = client.right / 2;
        FillSolid(dc, left, RGB(219, 88, 0));
    }
    void OnDestroyed() noexcept override { destroyed = true; }
};

TEST(WindowBase, BindsAtCreationAndLetsGoAtTheLastMessage) {
    ASSERT_TRUE(RegisterWindowClass(kClass));
    ASSERT_TRUE(RegisterWindowClass(kClass));  // twice is fine
    Probe probe;
    ASSERT_TRUE(probe.Create(kClass, L"probe", WS_POPUP, 0, RECT{0, 0, 120, 40}, nullptr));
    EXPECT_TRUE(probe.boundAtCreate);
    ASSERT_FALSE(probe.seen.empty());
    EXPECT_EQ(probe.seen.front(), static_cast<UINT>(WM_NCCREATE));
    // A handler that throws: the message gets the default answer and the
    // window lives on.
    EXPECT_EQ(::SendMessageW(probe.hwnd(), kThrow, 0, 0), 0);
    EXPECT_TRUE(::IsWindow(probe.hwnd()));
    const HWND window = probe.hwnd();
    probe.Destroy();
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(probe.hwnd(), nullptr);
    EXPECT_TRUE(probe.destroyed);
    EXPECT_EQ(probe.seen.back(), static_cast<UINT>(WM_NCDESTROY));
}

// What a window object saw after its own destructor had begun.
struct Afterlife {
    bool gone = false;
    int callsAfter = 0;
};

// The handler lives in the middle class, so that a call after the leaf's
// destructor reaches either it (counted) or a base that has no handler.
class Middle : public Window {
public:
    explicit Middle(Afterlife& life) : life_(life) {}

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (life_.gone) ++life_.callsAfter;
        return DefaultHandling(message, wParam, lParam);
    }
    Afterlife& life_;
};

class Leaf final : public Middle {
public:
    using Middle::Middle;
    ~Leaf() override { life_.gone = true; }
};

class MiddleDialog : public Dialog {
public:
    explicit MiddleDialog(Afterlife& life) : life_(life) {}

protected:
    INT_PTR OnMessage(UINT, WPARAM, LPARAM) override {
        if (life_.gone) ++life_.callsAfter;
        return FALSE;
    }
    Afterlife& life_;
};

class LeafDialog final : public MiddleDialog {
public:
    using MiddleDialog::MiddleDialog;
    ~LeafDialog() override { life_.gone = true; }
};

// Every message that arrives, as the system hands it to a window procedure:
// whether the window still named an object (user data) once its object's
// destructor had begun. Code generation may hide a call into a
// half-destroyed object; the binding shows it.
Afterlife* watched = nullptr;
HWND watchedWindow = nullptr;
int boundAfter = 0;

LRESULT CALLBACK WatchMessages(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && watched != nullptr && watched->gone && call->hwnd == watchedWindow) {
        if (::GetWindowLongPtrW(call->hwnd, GWLP_USERDATA) != 0 || ::GetWindowLongPtrW(call->hwnd, DWLP_USER) != 0)
            ++boundAfter;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(WindowBase, AnObjectDeletedWithItsWindowAliveHearsNothingMore) {
    ASSERT_TRUE(RegisterWindowClass(kClass));
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, WatchMessages, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    Afterlife life;
    auto leaf = std::make_unique<Leaf>(life);
    ASSERT_TRUE(leaf->Create(kClass, L"leaf", WS_POPUP | WS_VISIBLE, 0, RECT{0, 0, 120, 40}, nullptr));
    const HWND window = leaf->hwnd();
    watched = &life;
    watchedWindow = window;
    leaf.reset();
    EXPECT_EQ(life.callsAfter, 0);
    EXPECT_EQ(boundAfter, 0) << "messages reached a window still bound to its half-destroyed object";
    // Whatever comes to the window now finds no object.
    ::SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x"));
    EXPECT_EQ(life.callsAfter, 0);
    ::DestroyWindow(window);
    EXPECT_EQ(life.callsAfter, 0);

    Afterlife dialogLife;
    auto dialog = std::make_unique<LeafDialog>(dialogLife);
    ASSERT_NE(dialog->CreateModeless(IDD_PUSH_MESSAGE, nullptr), nullptr);
    const HWND dialogWindow = dialog->hwnd();
    watched = &dialogLife;
    watchedWindow = dialogWindow;
    dialog.reset();
    ::SendMessageW(dialogWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x"));
    ::DestroyWindow(dialogWindow);
    EXPECT_EQ(dialogLife.callsAfter, 0);
    EXPECT_EQ(boundAfter, 0) << "messages reached a dialog still bound to its half-destroyed object";
    watched = nullptr;
    ::UnhookWindowsHookEx(hook);
}

TEST(WindowBase, PaintedPixelsReadBack) {
    ASSERT_TRUE(RegisterWindowClass(kClass));
    Probe probe;
    // Hidden: PrintWindow paints it all the same.
    ASSERT_TRUE(probe.Create(kClass, L"probe", WS_POPUP, 0, RECT{0, 0, 200, 30}, nullptr));
    const Pixels pixels = test::ReadPixels(probe.hwnd());
    ASSERT_EQ(pixels.width, 200);
    ASSERT_EQ(pixels.height, 30);
    EXPECT_EQ(pixels.RunFromLeft(15, RGB(219, 88, 0)), 100);
    EXPECT_EQ(pixels.At(150, 15), RGB(255, 255, 255));
}

class CancelOnly : public Dialog {
protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM) override {
        if (message == WM_INITDIALOG) return TRUE;
        if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(hwnd(), IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
};

TEST(DialogBase, TemplateFromResourcesFoundAndAnsweredLikeAPerson) {
    CancelOnly dialog;
    auto modal = std::async(std::launch::async, [&] { return dialog.RunModal(IDD_DOTNET_DOWNLOAD, nullptr); });
    const HWND found = test::WaitForDialogWithControl(::GetCurrentProcessId(), IDC_DOTNET_VIEW);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(test::ControlText(found, IDCANCEL), L"Cancel");
    const auto pressed = std::chrono::steady_clock::now();
    ASSERT_TRUE(test::PressButton(found, IDCANCEL));
    ASSERT_EQ(modal.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(modal.get(), IDCANCEL);
    // No window-manager wait when the dialog hides (the prefix has Managed=N).
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, 1500ms);
    EXPECT_EQ(dialog.hwnd(), nullptr);
}

}  // namespace
}  // namespace mf::gui
