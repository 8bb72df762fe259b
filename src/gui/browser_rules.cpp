#include "gui/browser_rules.h"

#include "base/strings.h"
#include "gui/web_address.h"

namespace mf::gui {

namespace {

bool IsKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

InputDecision Swallowed(const wchar_t* text) { return {BrowserInput::Swallow, text}; }

InputDecision DecideKey(WPARAM key, bool ctrlDown, bool altDown) {
    if ((key >= VK_F1 && key <= VK_F12) || key == VK_HELP || key == VK_ESCAPE)
        return Swallowed(L"Function key ignored\r\n");
    if (ctrlDown) {
        switch (key) {
            case 'N': return Swallowed(L"Ctrl-N ignored\r\n");
            case 'C': return Swallowed(L"Ctrl-C ignored\r\n");
            case 'X': return Swallowed(L"Ctrl-X ignored\r\n");
            case 'P': return Swallowed(L"Ctrl-P ignored\r\n");
            case 'D': return Swallowed(L"Ctrl-D ignored\r\n");
            default: break;
        }
    }
    if (altDown) {
        if (key == VK_LEFT) return Swallowed(L"Atl-Left ignored\r\n");
        if (key == VK_RIGHT) return Swallowed(L"Atl-Right ignored\r\n");
    }
    return {};
}

}  // namespace

bool InTitleStrip(POINT inControl, SIZE control) {
    return inControl.y >= 0 && inControl.y < kTitleStripHeight && inControl.x >= 0 &&
           inControl.x < control.cx - kTitleStripRightMargin;
}

InputDecision DecideBrowserInput(UINT message, WPARAM key, bool ctrlDown, bool altDown, POINT inControl,
                                 SIZE control) {
    if (IsKeyMessage(message)) return DecideKey(key, ctrlDown, altDown);
    switch (message) {
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK: return Swallowed(nullptr);
        case WM_LBUTTONDOWN:
            if (InTitleStrip(inControl, control)) return {BrowserInput::DragWindow, nullptr};
            break;
        case WM_LBUTTONDBLCLK:
            if (InTitleStrip(inControl, control)) return {BrowserInput::ToggleMaximised, nullptr};
            break;
        default: break;
    }
    return {};
}

bool HtmlDialogMayGo(std::wstring_view url, bool topLevel, std::wstring_view ownPage) {
    if (EqualsNoCase(url, L"about:blank")) return true;
    if (topLevel) return EqualsNoCase(url, ownPage);
    return ParseWebAddress(url).has_value();
}

const wchar_t* TitleDoubleClickFunction(bool maximised) { return maximised ? L"repair" : L"btnMax"; }

}  // namespace mf::gui
