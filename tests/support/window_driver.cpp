#include "support/window_driver.h"

#include <thread>

#include "support/test_support.h"

namespace mf::test {

namespace {

constexpr UINT kMessageTimeoutMs = 5000;

struct TopLevelSearch {
    DWORD processId;
    const std::wstring* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TopLevelSearch*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !::IsWindowVisible(window)) return TRUE;
    if (!search->className->empty() && ClassOf(window) != *search->className) return TRUE;
    search->found.push_back(window);
    return TRUE;
}

struct DescendantSearch {
    const std::wstring* className;
    HWND found;
};

BOOL CALLBACK FindFirstOfClass(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<DescendantSearch*>(param);
    if (ClassOf(window) == *search->className) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectStatic(HWND window, LPARAM param) {
    auto* text = reinterpret_cast<std::wstring*>(param);
    if (ClassOf(window) != L"Static") return TRUE;
    const std::wstring line = TextOf(window);
    if (!line.empty()) {
        if (!text->empty()) *text += L"\n";
        *text += line;
    }
    return TRUE;
}

}  // namespace

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

std::vector<HWND> TopLevelWindows(DWORD processId, const std::wstring& className) {
    TopLevelSearch search{processId, &className, {}};
    ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindTopLevel(DWORD processId, const std::wstring& className, const std::wstring& title) {
    for (HWND window : TopLevelWindows(processId, className))
        if (title.empty() || TextOf(window) == title) return window;
    return nullptr;
}

HWND WaitForTopLevel(DWORD processId, const std::wstring& className, std::chrono::milliseconds timeout,
                     const std::wstring& title) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopLevel(processId, className, title)) != nullptr; }, timeout, 100ms);
    return found;
}

HWND WaitForDialog(DWORD processId, std::chrono::milliseconds timeout, const std::wstring& title) {
    return WaitForTopLevel(processId, L"#32770", timeout, title);
}

HWND WaitForDialogWithControl(DWORD processId, int controlId, std::chrono::milliseconds timeout) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND dialog : TopLevelWindows(processId, L"#32770"))
                if (::GetDlgItem(dialog, controlId) != nullptr) return (found = dialog) != nullptr;
            return false;
        },
        timeout, 100ms);
    return found;
}

bool WaitForWindowToClose(HWND window, std::chrono::milliseconds timeout) {
    return WaitUntil([&] { return !::IsWindow(window) || !::IsWindowVisible(window); }, timeout, 100ms);
}

HWND FindDescendant(HWND parent, const std::wstring& className) {
    DescendantSearch search{&className, nullptr};
    ::EnumChildWindows(parent, FindFirstOfClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied))
        return {};
    text.resize(copied < text.size() ? copied : text.size() - 1);
    return text;
}

std::wstring ControlText(HWND dialog, int controlId) {
    const HWND control = ::GetDlgItem(dialog, controlId);
    return control != nullptr ? TextOf(control) : std::wstring();
}

std::wstring StaticTexts(HWND dialog) {
    std::wstring text;
    ::EnumChildWindows(dialog, CollectStatic, reinterpret_cast<LPARAM>(&text));
    return text;
}

bool WaitForControlText(HWND dialog, int controlId, const std::wstring& text, std::chrono::milliseconds timeout) {
    return WaitUntil([&] { return ControlText(dialog, controlId) == text; }, timeout, 100ms);
}

bool ControlEnabled(HWND dialog, int controlId) {
    const HWND control = ::GetDlgItem(dialog, controlId);
    return control != nullptr && ::IsWindowEnabled(control);
}

bool WaitForControlEnabled(HWND dialog, int controlId, bool enabled, std::chrono::milliseconds timeout) {
    return WaitUntil([&] { return ControlEnabled(dialog, controlId) == enabled; }, timeout, 100ms);
}

bool PressButton(HWND dialog, int buttonId) {
    const HWND button = ::GetDlgItem(dialog, buttonId);
    if (button == nullptr || !::IsWindowEnabled(button)) return false;
    return ::PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

gui::Pixels ReadPixels(HWND window) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == ::GetCurrentProcessId()) return gui::CaptureClient(window);
    ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    std::this_thread::sleep_for(200ms);
    return gui::CaptureFromScreen(window);
}

bool InChineseLocale() { return ::GetACP() == 936; }

HolderWindow::HolderWindow(const RECT& rect, bool visible, DWORD extraStyle) {
    gui::RegisterWindowClass(L"MirefoldTestHolder");
    Create(L"MirefoldTestHolder", L"holder", WS_POPUP | (visible ? WS_VISIBLE : 0) | extraStyle, WS_EX_TOOLWINDOW, rect,
           nullptr);
}

LRESULT HolderWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) commands.push_back(wParam);
    return DefaultHandling(message, wParam, lParam);
}

void PumpMessages(std::chrono::milliseconds duration, const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (done && done()) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

}  // namespace mf::test
