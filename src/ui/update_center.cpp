#include "ui/update_center.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "base/handles.h"
#include "base/messages.h"
#include "base/strings.h"
#include "engine/process_state.h"
#include "gui/gdi.h"
#include "gui/tray_icon.h"
#include "gui/window.h"
#include "host/host_protocol.h"
#include "ui/resource_ids.h"
#include "ui/update_center_rules.h"
#include "ui/window_resources.h"

namespace mf::ui {

namespace {

constexpr UINT_PTR kTickTimer = 0;
constexpr SIZE kFallbackSize{220, 150};
constexpr COLORREF kTextColour = RGB(0, 0, 0);
constexpr COLORREF kHoverColour = RGB(0, 0, 255);
// The checked configuration value of the launcher's skin, in the
// configuration cache (section + key).

struct CheckJob {
    HWND dialog;
    std::function<void()> check;
};

// A check's own thread: the check reports by status messages as it goes;
// its end reaches the dialog by a posted message.
DWORD WINAPI CheckThread(void* parameter) {
    std::unique_ptr<CheckJob> job(static_cast<CheckJob*>(parameter));
    try {
        job->check();
    } catch (...) {
        try {
            WriteLog(L"The update center's check ended on an unexpected error.");
        } catch (...) {
        }
    }
    ::PostMessageW(job->dialog, msg::kUpdateCenterCheckDone, 0, 0);
    return 0;
}

RECT Grown(RECT r, int by) {
    ::InflateRect(&r, by, by);
    return r;
}

std::wstring TextOfWindow(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

SIZE TextSize(HDC dc, HFONT font, const std::wstring& text) {
    gui::SelectedObject selected(dc, font);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

class UpdateCenter final : public gui::Dialog {
public:
    explicit UpdateCenter(const UpdateCenterActions& actions) : actions_(actions) {}

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Initialise();
    void AddTrayIcon();
    void Show();
    void Hide();
    void Refresh();
    void OnStatus(int status, int fileCount);
    void StartCheck();
    void CheckDone();
    void OnTimer();
    void OnClick(POINT point, LPARAM lParam);
    void OnMouseMove(POINT point);
    void UpdateNow(bool automatic);
    void OnTrayIcon(UINT mouseMessage);
    void ShowMenu();
    void End();
    void Paint(HDC target);
    // Lays the texts out for the DC (the buttons and the mirrors follow).
    PopUpLayout LayOut(HDC dc);
    void Invalidate(const RECT& r) { ::InvalidateRect(hwnd(), &r, FALSE); }
    // After a change of the texts: lay out again and repaint.
    void InvalidateAll() {
        const gui::WindowDc dc(hwnd());
        (void)LayOut(dc.get());
        ::InvalidateRect(hwnd(), nullptr, FALSE);
    }
    void MirrorText(int id, const std::wstring& text, const RECT& where);
    [[nodiscard]] long long Now() const {
        return actions_.now ? actions_.now() : static_cast<long long>(std::time(nullptr));
    }
    [[nodiscard]] static std::wstring CheckSpan() { return ReadConfig(L"Mirefold", L"CheckTmSpan"); }

    UpdateCenterActions actions_;
    UpdateCenterTexts texts_;
    std::wstring applicationName_;
    CenterState state_;
    std::wstring message_;
    int countdown_ = kNoCountdown;
    long long lastCheck_ = 0;
    bool checking_ = false;
    bool showAllowed_ = false;
    bool trackingMouse_ = false;
    std::wstring hovered_;
    ButtonMap buttons_;
    RECT countdownLine_{};
    SIZE size_ = kFallbackSize;
    UniqueGdiObject background_;
    UniqueGdiObject closeHover_;
    UniqueGdiObject normalFont_;
    UniqueGdiObject boldFont_;
    UniqueGdiObject linkFont_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
    gui::TrayIcon trayIcon_;
};

INT_PTR UpdateCenter::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: Initialise(); return FALSE;  // no focus: the pop-up is not shown yet
        case msg::kStatus: OnStatus(static_cast<int>(wParam), static_cast<int>(lParam)); return TRUE;
        case msg::kUpdateCenterCheckDone: CheckDone(); return TRUE;
        case msg::kUpdateCenterUpdateNow: UpdateNow(wParam != 0); return TRUE;
        case msg::kUpdateCenterTrayIcon:
            if (wParam == kUpdateCenterIconId) OnTrayIcon(static_cast<UINT>(lParam));
            return TRUE;
        case WM_TIMER:
            if (wParam == kTickTimer) OnTimer();
            return TRUE;
        case WM_PAINT: {
            gui::PaintScope paint(hwnd());
            Paint(paint.dc());
            return TRUE;
        }
        case WM_PRINTCLIENT: Paint(reinterpret_cast<HDC>(wParam)); return TRUE;
        case WM_ERASEBKGND: SetResult(1); return TRUE;
        case WM_LBUTTONDOWN: OnClick(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, lParam); return TRUE;
        case WM_MOUSEMOVE: OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}); return TRUE;
        case WM_MOUSELEAVE:
            trackingMouse_ = false;
            OnMouseMove(POINT{-1, -1});
            return TRUE;
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED) Hide();
            return TRUE;
        case WM_WINDOWPOSCHANGING: {
            // The dialog box shows its window when its loop first idles; the
            // pop-up shows only when it has something to say.
            auto* position = reinterpret_cast<WINDOWPOS*>(lParam);
            if (!showAllowed_) position->flags &= ~SWP_SHOWWINDOW;
            return FALSE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK: Hide(); break;
                case ID_CENTER_SHOW: Show(); break;
                case ID_CENTER_EXIT: End(); break;
                default: break;  // IDCANCEL (Escape, closing) is ignored
            }
            return TRUE;
        case WM_QUERYDRAGICON: return reinterpret_cast<INT_PTR>(bigIcon_.get());
        case WM_DESTROY:
            ::KillTimer(hwnd(), kTickTimer);
            trayIcon_.Remove();
            Process().notifications.Unregister(hwnd());
            if (Process().mainWindow == hwnd()) Process().mainWindow = nullptr;
            return FALSE;
        default: return FALSE;
    }
}

void UpdateCenter::Initialise() {
    texts_ = UpdateCenterTexts::Translated(
        [](const std::wstring& section, const std::wstring& text) { return Translate(section, text); });
    applicationName_ = ReadConfig(L"APPLICATION", L"Name");
    ::SetWindowTextW(hwnd(), texts_.title.c_str());
    Process().mainWindow = hwnd();
    lastCheck_ = Now();
    ::SetTimer(hwnd(), kTickTimer, kUpdateCenterTickMs, nullptr);
    ::SetPropW(hwnd(), host::kNeedMessagesProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(host::kOn)));

    background_ = LoadBitmapResource(IDB_UPDATE_CENTER);
    closeHover_ = LoadBitmapResource(IDB_CLOSE_HOVER);
    BITMAP bitmap{};
    if (background_ && ::GetObjectW(background_.get(), sizeof bitmap, &bitmap) != 0)
        size_ = SIZE{bitmap.bmWidth, bitmap.bmHeight};
    buttons_.Set(kButtonClose, kCloseRect);
    ::SetWindowPos(hwnd(), nullptr, -800, -800, size_.cx, size_.cy, SWP_NOZORDER | SWP_NOACTIVATE);

    const HINSTANCE module = gui::ThisModule();
    bigIcon_.reset(static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_MIREFOLD), IMAGE_ICON,
                                                   ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.reset(static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_MIREFOLD), IMAGE_ICON, 16, 16, 0)));
    ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

    LOGFONTW font{};
    const auto dialogFont = reinterpret_cast<HFONT>(::SendMessageW(hwnd(), WM_GETFONT, 0, 0));
    if (::GetObjectW(dialogFont != nullptr ? static_cast<HGDIOBJ>(dialogFont) : ::GetStockObject(DEFAULT_GUI_FONT),
                     sizeof font, &font) == 0)
        font.lfHeight = -11;
    normalFont_.reset(::CreateFontIndirectW(&font));
    font.lfWeight = FW_BOLD;
    boldFont_.reset(::CreateFontIndirectW(&font));
    font.lfWeight = FW_NORMAL;
    font.lfUnderline = TRUE;
    linkFont_.reset(::CreateFontIndirectW(&font));

    // Hidden mirrors of the painted texts, for assistive tools and tests.
    for (int id : {IDC_CENTER_MESSAGE, IDC_CENTER_COUNTDOWN, IDC_CENTER_CANCEL, IDC_CENTER_CHECK, IDC_CENTER_UPDATE})
        ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_NOPREFIX, 0, 0, 0, 0, hwnd(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module, nullptr);

    AddTrayIcon();
    StartCheck();
}

void UpdateCenter::AddTrayIcon() {
    if (!trayIcon_.Add(hwnd(), kUpdateCenterIconId, msg::kUpdateCenterTrayIcon, smallIcon_.get(), texts_.title)) {
        WriteLog(L"The notification-area icon cannot be added.");
    }
}

void UpdateCenter::Show() {
    showAllowed_ = true;
    // A minimised pop-up comes back where it was.
    if (::IsIconic(hwnd())) ::ShowWindow(hwnd(), SW_RESTORE);
    RECT r{};
    ::GetWindowRect(hwnd(), &r);
    if (r.left < 0) {
        const POINT at = PopUpPosition(SIZE{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}, size_);
        ::SetWindowPos(hwnd(), nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::ShowWindow(hwnd(), SW_SHOW);
    ::SetForegroundWindow(hwnd());
}

void UpdateCenter::Hide() {
    showAllowed_ = false;
    ::ShowWindow(hwnd(), SW_HIDE);
}

void UpdateCenter::Refresh() {
    message_ = MessageLine(texts_, state_);
    if (const std::optional<std::wstring> tip = TooltipFor(applicationName_, message_)) trayIcon_.SetTooltip(*tip);
    ::SetDlgItemTextW(hwnd(), IDC_CENTER_MESSAGE, message_.c_str());
}

void UpdateCenter::OnStatus(int status, int fileCount) {
    state_.status = status;
    state_.fileCount = fileCount;
    state_.outcome = UpdateOutcome::None;
    Refresh();
    InvalidateAll();
    if (status == 3 && fileCount > 0) Show();
}

void UpdateCenter::StartCheck() {
    if (checking_ || !actions_.check) return;
    lastCheck_ = Now();
    Process().notifications.Register(hwnd());
    auto job = std::make_unique<CheckJob>(CheckJob{hwnd(), actions_.check});
    UniqueHandle thread(::CreateThread(nullptr, 0, CheckThread, job.get(), 0, nullptr));
    if (!thread) {
        Process().notifications.Unregister(hwnd());
        WriteLog(L"The update center cannot start its check.");
        return;
    }
    (void)job.release();  // the thread owns it now
    checking_ = true;
}

void UpdateCenter::CheckDone() {
    checking_ = false;
    Process().notifications.Unregister(hwnd());
    // A check that ended without a result (an error nothing handled) failed;
    // the periodic check tries again.
    if (state_.status == 1) {
        state_.status = 2;
        Refresh();
    }
    if (state_.status == 3 && state_.fileCount > 0) countdown_ = kCountdownStart;
    InvalidateAll();
    if (EndsAfterCheck(CheckSpan(), state_.status, state_.fileCount)) End();
}

void UpdateCenter::OnTimer() {
    const long long now = Now();
    const CountdownTick tick = TickCountdown(countdown_, lastCheck_, now);
    if (tick.changed) {
        countdown_ = tick.countdown;
        const RECT before = countdownLine_;
        const gui::WindowDc dc(hwnd());
        (void)LayOut(dc.get());
        Invalidate(Grown(before, 2));
    }
    if (tick.expired) {
        countdown_ = kNoCountdown;
        InvalidateAll();
        ::PostMessageW(hwnd(), msg::kUpdateCenterUpdateNow, 1, 0);
        return;
    }
    if (!checking_ && state_.status != 1 && !state_.busy && CheckDue(CheckSpan(), lastCheck_, now)) StartCheck();
}

void UpdateCenter::OnClick(POINT point, LPARAM lParam) {
    const std::wstring button = buttons_.At(point);
    if (button.empty()) {
        // The pop-up has no caption: it is dragged by its background. Not
        // from a link, whose action may open a window of its own before the
        // drag's loop would start.
        POINT screen = point;
        ::ClientToScreen(hwnd(), &screen);
        ::PostMessageW(hwnd(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
        (void)lParam;
        return;
    }
    if (button == kButtonClose) {
        countdown_ = kNoCountdown;
        Hide();
    } else if (button == kButtonCancel) {
        countdown_ = kNoCountdown;
        InvalidateAll();
    } else if (button == kButtonCheck && !state_.busy) {
        countdown_ = kNoCountdown;
        InvalidateAll();
        if (state_.status != 1) StartCheck();
    } else if (button == kButtonUpdate && !state_.busy) {
        countdown_ = kNoCountdown;
        InvalidateAll();
        // Not while a check fills the update list.
        if (!checking_) ::PostMessageW(hwnd(), msg::kUpdateCenterUpdateNow, 0, 0);
    }
}

void UpdateCenter::OnMouseMove(POINT point) {
    if (!trackingMouse_ && point.x >= 0) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd(), 0};
        trackingMouse_ = ::TrackMouseEvent(&track) != FALSE;
    }
    const std::wstring button = buttons_.At(point);
    if (button == hovered_) return;
    if (!hovered_.empty()) Invalidate(Grown(buttons_.Get(hovered_), 3));
    hovered_ = button;
    if (!hovered_.empty()) Invalidate(Grown(buttons_.Get(hovered_), 3));
}

void UpdateCenter::UpdateNow(bool automatic) {
    if (state_.busy || checking_ || !actions_.update) return;
    Hide();
    state_.busy = true;
    Refresh();
    Process().notifications.Unregister(hwnd());
    // The automatic update runs in the launcher's simplest skin.
    Skin& skin = Process().run.skin;
    const Skin before = skin;
    if (automatic) skin = Skin::MostSimple;
    UpdateOutcome outcome = UpdateOutcome::None;
    try {
        const UpdateRunEnd end = actions_.update();
        outcome = OutcomeOf(end.status, end.fileCount);
    } catch (...) {
        WriteLog(L"The update from the update center ended on an unexpected error.");
        outcome = UpdateOutcome::Abandoned;
    }
    if (automatic) skin = before;
    Process().mainWindow = hwnd();
    lastCheck_ = Now();
    state_.busy = false;
    state_.outcome = outcome;
    Refresh();
    if (Trim(CheckSpan()).empty()) {
        End();
    } else {
        Show();
        InvalidateAll();
    }
}

void UpdateCenter::OnTrayIcon(UINT mouseMessage) {
    if (mouseMessage == WM_LBUTTONDBLCLK) Show();
    if (mouseMessage == WM_RBUTTONDOWN) ShowMenu();
}

void UpdateCenter::ShowMenu() {
    ::SetForegroundWindow(hwnd());
    UniqueMenu menu(::CreatePopupMenu());
    if (!menu) return;
    ::AppendMenuW(menu.get(), MF_STRING, ID_CENTER_SHOW, texts_.showWindow.c_str());
    ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu.get(), MF_STRING, ID_CENTER_EXIT, texts_.exit.c_str());
    POINT cursor{};
    ::GetCursorPos(&cursor);
    const UINT chosen = static_cast<UINT>(::TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                                           cursor.x, cursor.y, 0, hwnd(), nullptr));
    ::PostMessageW(hwnd(), WM_NULL, 0, 0);
    if (chosen != 0) ::SendMessageW(hwnd(), WM_COMMAND, chosen, 0);
}

void UpdateCenter::End() { ::EndDialog(hwnd(), IDCANCEL); }

void UpdateCenter::MirrorText(int id, const std::wstring& text, const RECT& where) {
    const HWND mirror = ::GetDlgItem(hwnd(), id);
    if (mirror == nullptr) return;
    if (TextOfWindow(mirror) != text) ::SetWindowTextW(mirror, text.c_str());
    ::SetWindowPos(mirror, nullptr, where.left, where.top, where.right - where.left, where.bottom - where.top,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

PopUpLayout UpdateCenter::LayOut(HDC dc) {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    const bool counting = countdown_ >= 0;
    const std::wstring countdownText = counting ? texts_.CountdownText(countdown_) : std::wstring();
    const auto normal = static_cast<HFONT>(normalFont_.get());
    PopUpTexts sizes;
    sizes.name = TextSize(dc, static_cast<HFONT>(boldFont_.get()), applicationName_);
    sizes.message = TextSize(dc, normal, message_);
    sizes.countdown = TextSize(dc, normal, countdownText);
    sizes.cancel = TextSize(dc, normal, texts_.cancel);
    sizes.checkAgain = TextSize(dc, normal, texts_.checkAgain);
    sizes.update = TextSize(dc, normal, texts_.update);
    const LONG widest = client.right - 2 * kTextInset;
    for (SIZE* s : {&sizes.name, &sizes.message}) s->cx = std::min(s->cx, widest);
    const PopUpLayout layout = LayOutPopUp(SIZE{client.right, client.bottom}, sizes, counting);
    buttons_.Set(kButtonCancel, layout.cancel);
    buttons_.Set(kButtonCheck, layout.checkAgain);
    buttons_.Set(kButtonUpdate, layout.update);
    const int lineTop = layout.message.bottom + kLineGap;
    countdownLine_ = RECT{kTextInset, lineTop, client.right, lineTop + std::max(sizes.cancel.cy, sizes.countdown.cy)};
    MirrorText(IDC_CENTER_MESSAGE, message_, layout.message);
    MirrorText(IDC_CENTER_COUNTDOWN, countdownText, layout.countdown);
    MirrorText(IDC_CENTER_CANCEL, counting ? texts_.cancel : std::wstring(), layout.cancel);
    MirrorText(IDC_CENTER_CHECK, texts_.checkAgain, layout.checkAgain);
    MirrorText(IDC_CENTER_UPDATE, texts_.update, layout.update);
    return layout;
}

void UpdateCenter::Paint(HDC target) {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    gui::MemoryCanvas canvas(target, client.right, client.bottom);
    if (!canvas.valid()) return;
    const HDC dc = canvas.dc();
    gui::FillSolid(dc, client, RGB(255, 255, 255));
    auto drawBitmap = [&](HGDIOBJ bitmap, const RECT& where) {
        UniqueMemoryDc source(::CreateCompatibleDC(dc));
        if (!source || bitmap == nullptr) return;
        gui::SelectedObject selected(source.get(), bitmap);
        ::BitBlt(dc, where.left, where.top, where.right - where.left, where.bottom - where.top, source.get(), 0, 0,
                 SRCCOPY);
    };
    drawBitmap(background_.get(), RECT{0, 0, size_.cx, size_.cy});
    const PopUpLayout layout = LayOut(dc);

    ::SetBkMode(dc, TRANSPARENT);
    auto draw = [&](const std::wstring& text, RECT where, HGDIOBJ font, COLORREF colour) {
        gui::SelectedObject selected(dc, font);
        ::SetTextColor(dc, colour);
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &where,
                    DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    };
    auto drawLink = [&](const std::wstring& text, const RECT& where, const wchar_t* name) {
        const bool over = hovered_ == name;
        draw(text, where, over ? linkFont_.get() : normalFont_.get(), over ? kHoverColour : kTextColour);
    };
    draw(applicationName_, layout.name, boldFont_.get(), kTextColour);
    draw(message_, layout.message, normalFont_.get(), kTextColour);
    if (countdown_ >= 0) {
        draw(texts_.CountdownText(countdown_), layout.countdown, normalFont_.get(), kTextColour);
        drawLink(texts_.cancel, layout.cancel, kButtonCancel);
    }
    drawLink(texts_.checkAgain, layout.checkAgain, kButtonCheck);
    drawLink(texts_.update, layout.update, kButtonUpdate);
    if (hovered_ == kButtonClose) drawBitmap(closeHover_.get(), kCloseRect);
    canvas.CopyTo(target);
}

}  // namespace

void ShowUpdateCenter(const UpdateCenterActions& actions) {
    UpdateCenter center(actions);
    if (center.RunModal(IDD_UPDATE_CENTER, nullptr) == -1)
        WriteLog(Format(L"The update center cannot be shown (error %u).", static_cast<unsigned>(::GetLastError())));
}

}  // namespace mf::ui
