#include "ui/launcher_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <set>
#include <string>
#include <thread>

#include "apply/local_check.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/messages.h"
#include "base/strings.h"
#include "engine/config.h"
#include "engine/elevation.h"
#include "engine/machine_id.h"
#include "engine/process_state.h"
#include "engine/web_services.h"
#include "gui/animated_picture.h"
#include "gui/browser_host.h"
#include "gui/progress_bar.h"
#include "gui/tray_icon.h"
#include "gui/window.h"
#include "host/host_protocol.h"
#include "net/internet.h"
#include "ui/push_message_window.h"
#include "ui/resource_ids.h"
#include "ui/window_resources.h"

namespace mf::ui {

namespace {

constexpr wchar_t kPanelClass[] = L"MirefoldLauncherPanel";
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT_PTR kPageTimeoutTimer = 2;
constexpr UINT kProgressTimerMs = 500;
constexpr SIZE kLineSize{260, 18};
constexpr COLORREF kLineBackground = RGB(100, 100, 150);

RECT ClientRect(HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    return r;
}

void Place(HWND control, const RECT& r) {
    ::SetWindowPos(control, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOACTIVATE);
}

void PumpMessagesFor(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    for (DWORD elapsed = 0; elapsed < milliseconds; elapsed = ::GetTickCount() - start) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

bool OwnProcessWindow(HWND window) {
    if (window == nullptr || !::IsWindow(window)) return false;
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    return process == ::GetCurrentProcessId();
}

class LauncherWindow final : public gui::Window, public gui::BrowserEvents {
public:
    LauncherWindow(LauncherForm form, const LauncherActions& actions)
        : form_(form), actions_(actions), computer_(ReadConfigFlag(L"APPLICATION", L"IsComputer", L"0")) {}
    ~LauncherWindow() override { Close(); }
    LauncherWindow(const LauncherWindow&) = delete;
    LauncherWindow& operator=(const LauncherWindow&) = delete;

    bool Create(HWND owner);
    LauncherOutcome RunModal();

    // BrowserEvents
    bool OnBeforeNavigate(const gui::NavigationEvent& navigation) override;
    bool OnTopArrived(const std::wstring& url) override;
    void OnNavigateError(const std::wstring& url, long status, bool topLevel) override;
    void OnRefused(const std::wstring& what, const std::wstring& url) override {
        LogRefusedOnce(L"The practice center's page asked for a " + what + L"; refused: " + url);
    }

    // The panel's messages that concern the launcher: its controls' colours.
    LRESULT HandlePanel(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    void Initialise();
    void CreateChildren();
    [[nodiscard]] bool LoadingViewShown() const { return computer_ || !browser_; }
    void LayOut();
    void ApplyShowState(ShowState state);
    void StartPushMessages();
    void AddTrayIcon();
    void ApplyProgressTexts();
    void OnTimer(UINT_PTR id);
    bool HandlePageCommand(const std::wstring& url);
    void LogRefusedOnce(const std::wstring& text);
    void PageLoaded();
    void StartWorker();
    void StartCompanion();
    void WorkerFinished();
    void CloseOrHide();
    bool AskExit();
    void Quit(bool skipLoop);
    void OnTrayIcon(UINT mouseMessage);
    void ShowTrayMenu();
    void Close();

    LauncherForm form_;
    LauncherActions actions_;
    bool computer_;
    HWND window_ = nullptr;
    // The browser host (174): the white ground the browser and the loading
    // page's controls stand on; what its controls ask comes to HandlePanel.
    gui::OwnedWindow<LauncherWindow> panelWindow_{*this, &LauncherWindow::HandlePanel};
    HWND panel_ = nullptr;
    gui::CProgressCtrlEx barControl_;
    gui::CPictureEx pictureControl_;
    HWND bar_ = nullptr;
    HWND picture_ = nullptr;
    HWND line_ = nullptr;
    std::unique_ptr<gui::BrowserHost> browser_;
    std::unique_ptr<CMsgDlg> push_;
    std::shared_ptr<PushScheduler> pushScheduler_;
    ShowState showState_ = ShowState::Maximised;
    ShowState lastShown_ = ShowState::Maximised;
    bool firstRestore_ = true;
    bool loaded_ = false;
    bool offlineReady_ = false;
    bool workerStarted_ = false;
    bool skipLoop_ = false;
    LoadingProgress progress_;
    gui::TrayIcon trayIcon_;
    UniqueIcon iconHandle_;
    UniqueGdiObject lineBrush_;
    std::wstring practiceAddress_;
    // The practice center's site: where the browser may go (no host when
    // PracticeCenterURL is no web address: nowhere).
    gui::WebAddress practiceSite_;
    std::wstring requestedTop_;
    int redirects_ = 0;
    std::set<std::wstring> refusalsLogged_;
};

bool LauncherWindow::Create(HWND owner) {
    if (!gui::RegisterWindowClass(kLauncherClass, CS_DBLCLKS) || !gui::RegisterWindowClass(kPanelClass, 0))
        return false;
    // A host window of another process is not made the owner: an owner
    // across processes ties the two input queues together, and a hung host
    // would hang the launcher.
    const HWND ownerWindow = OwnProcessWindow(owner) ? owner : nullptr;
    if (!gui::Window::Create(kLauncherClass, L"",
                             WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                             WS_EX_APPWINDOW, RECT{0, 0, kRestoredSize.cx, kRestoredSize.cy}, ownerWindow))
        return false;
    window_ = hwnd();
    const HINSTANCE instance = gui::ThisModule();
    for (const auto& [size, which] : {std::pair{16, ICON_SMALL}, std::pair{32, ICON_BIG}}) {
        const auto icon = static_cast<HICON>(
            ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_MIREFOLD), IMAGE_ICON, size, size, LR_SHARED));
        if (icon != nullptr) ::SendMessageW(window_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
    }
    Initialise();
    return true;
}

void LauncherWindow::CreateChildren() {
    const HINSTANCE instance = gui::ThisModule();
    const RECT area = ClientRect(window_);
    if (panelWindow_.Create(kPanelClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, area, window_,
                            IDC_LAUNCHER_HOST))
        panel_ = panelWindow_.hwnd();
    HRESULT error = S_OK;
    browser_ = gui::BrowserHost::Create(panel_, IDC_LAUNCHER_BROWSER, ClientRect(panel_), *this, nullptr, &error);
    if (!browser_) {
        WriteLog(Format(L"The web browser control cannot be created (0x%08X): the launcher shows its own loading "
                        L"view and updates without the practice center.",
                        static_cast<unsigned>(error)));
    }
    // The loading page's controls, hidden until the page is shown.
    if (pictureControl_.Create(panel_, RECT{0, 0, kLoadingPictureSize.cx, kLoadingPictureSize.cy},
                               IDC_LAUNCHER_PICTURE))
        picture_ = pictureControl_.hwnd();
    if (barControl_.Create(panel_, RECT{0, 0, kLoadingBarSize.cx, kLoadingBarSize.cy}, IDC_LAUNCHER_PROGRESS))
        bar_ = barControl_.hwnd();
    line_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_CLIPSIBLINGS | SS_CENTER, 0, 0, kLineSize.cx,
                              kLineSize.cy, panel_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LAUNCHER_LINE)),
                              instance, nullptr);
    for (HWND control : {picture_, bar_}) {
        if (control == nullptr) continue;
        ::SetWindowLongPtrW(control, GWL_STYLE, ::GetWindowLongPtrW(control, GWL_STYLE) | WS_CLIPSIBLINGS);
        ::ShowWindow(control, SW_HIDE);
    }
    ::SendMessageW(bar_, PBM_SETRANGE32, 1, 1000);
    lineBrush_.reset(::CreateSolidBrush(kLineBackground));
    const HFONT font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    ::SendMessageW(line_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void LauncherWindow::Initialise() {
    Process().mainWindow = window_;
    CreateChildren();
    practiceAddress_ = PracticeCenterAddress();
    if (auto site = gui::ParseWebAddress(PracticeCenterServer())) {
        practiceSite_ = *site;
    } else {
        WriteLog(L"PracticeCenterURL is not an http or https address: the launcher shows no page.");
    }
    if (LoadingViewShown()) {
        if (browser_) browser_->Navigate(PracticeCenterLoadingPage());
        if (computer_ && WebServicesEnabled()) {
            // The practice center learns of this computer; its answer is not
            // needed, so the window does not wait for it.
            std::thread([address = practiceAddress_] {
                try {
                    std::wstring answer;
                    (void)HttpPost(address, answer, kMaxPushAnswerBytes);
                } catch (...) {
                }
            }).detach();
        }
        ::SetTimer(window_, kProgressTimer, kProgressTimerMs, nullptr);
        const std::string_view gif = GifResource(IDG_LOADING);
        if (!gif.empty() && pictureControl_.Load(gif)) pictureControl_.Start();
        for (HWND control : {picture_, bar_, line_})
            if (control != nullptr) ::ShowWindow(control, SW_SHOW);
    } else {
        browser_->Navigate(practiceAddress_);
        // The page may never report; the update does not wait for ever.
        ::SetTimer(window_, kPageTimeoutTimer, kPageLoadTimeoutMs, nullptr);
    }
    ApplyShowState(ShowState::Maximised);
    StartPushMessages();
    ::SetWindowTextW(window_, LauncherTitle(ReadConfig(L"APPLICATION", L"Application")).c_str());
    AddTrayIcon();
    if (LoadingViewShown()) {
        PageLoaded();
        LayOut();
        ::InvalidateRect(window_, nullptr, FALSE);
    }
}

// The push-message window, hidden until a message is due, and its
// scheduler, which fetches the message list on its own thread.
void LauncherWindow::StartPushMessages() {
    if (!WebServicesEnabled()) {
        WriteLog(L"Web services are off (WebServices=0): no practice-center request, push messages or offer checks.");
        return;
    }
    push_ = std::make_unique<CMsgDlg>(window_, PushContext::FromConfiguration());
    if (!push_->Create()) {
        WriteLog(L"The push-message window cannot be created.");
        push_.reset();
        return;
    }
    pushScheduler_ = PushScheduler::Start(window_, *push_, [url = PushMessageRequestFromConfiguration()] {
        std::wstring answer;
        const int result = HttpPost(url, answer, kMaxPushAnswerBytes);
        if (result != kPostDone) {
            WriteLog(Format(L"The push-message request failed (%d): no messages.", result));
            answer.clear();
        }
        return answer;
    });
}

LauncherOutcome LauncherWindow::RunModal() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (browser_ && browser_->PreTranslate(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return LauncherOutcome{skipLoop_};
}

void LauncherWindow::Close() {
    trayIcon_.Remove();
    if (window_ == nullptr) return;
    Process().notifications.Unregister(window_);
    if (pushScheduler_) pushScheduler_->Stop();
    if (push_) push_->Destroy();
    push_.reset();
    if (Process().mainWindow == window_) Process().mainWindow = nullptr;
    pictureControl_.Stop();
    browser_.reset();
    window_ = nullptr;
    panel_ = nullptr;
    Destroy();
}

LRESULT LauncherWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return Handle(message, wParam, lParam);
    } catch (const std::exception& error) {
        WriteLog(L"The launcher window met an unexpected error: " + Widen(error.what()));
    } catch (...) {
        WriteLog(L"The launcher window met an unexpected error.");
    }
    return DefaultHandling(message, wParam, lParam);
}

LRESULT LauncherWindow::HandlePanel(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: {
            const RECT area = ClientRect(panel);
            ::FillRect(reinterpret_cast<HDC>(wParam), &area, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
            return 1;
        }
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == line_) {
                const HDC dc = reinterpret_cast<HDC>(wParam);
                ::SetTextColor(dc, RGB(255, 255, 255));
                ::SetBkColor(dc, kLineBackground);
                return reinterpret_cast<LRESULT>(lineBrush_.get());
            }
            break;
        default: break;
    }
    return ::DefWindowProcW(panel, message, wParam, lParam);
}

LRESULT LauncherWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case msg::kStatus: progress_.OnStatus(static_cast<int>(wParam)); return 0;
        case msg::kTextLine: return 0;
        case msg::kFileCount: progress_.OnFileCount(static_cast<int>(wParam), static_cast<int>(lParam)); return 0;
        case msg::kByteProgress:
            if (progress_.OnByteProgress(static_cast<long>(wParam), static_cast<long>(lParam))) ApplyProgressTexts();
            return 0;
        case msg::kStatusText: {
            const auto* text = reinterpret_cast<const wchar_t*>(wParam);
            if (progress_.OnStatusText(text != nullptr ? std::wstring(text) : std::wstring())) ApplyProgressTexts();
            return 0;
        }
        case msg::kLauncherTrayIcon: OnTrayIcon(static_cast<UINT>(lParam)); return 0;
        case msg::kPushShow:
            // The same system string goes on; the scheduler frees it.
            if (push_) ::SendMessageW(push_->hwnd(), msg::kPushShow, wParam, lParam);
            return 0;
        case msg::kPushRetired:
            if (pushScheduler_) pushScheduler_->Retire(MessageText(lParam));
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == cmd::kWorkerDone) WorkerFinished();
            return 0;  // Enter and Escape (IDOK, IDCANCEL) do not close the window
        case WM_TIMER: OnTimer(static_cast<UINT_PTR>(wParam)); return 0;
        case WM_SIZE:
            // However the launcher was minimised, a message goes with it.
            if (wParam == SIZE_MINIMIZED && push_) push_->HideMsgDialog();
            LayOut();
            if (showState_ == ShowState::Restored) ::InvalidateRect(window_, nullptr, FALSE);
            return 0;
        case WM_CLOSE: CloseOrHide(); return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = POINT{kRestoredSize.cx, kRestoredSize.cy};
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        case WM_NCHITTEST:
            if (showState_ == ShowState::Restored) {
                POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
                ::ScreenToClient(window_, &point);
                const RECT area = ClientRect(window_);
                return ResizeHitTest(point, SIZE{area.right, area.bottom});
            }
            break;
        default: break;
    }
    return DefaultHandling(message, wParam, lParam);
}

void LauncherWindow::LayOut() {
    if (panel_ == nullptr) return;
    const RECT area = ClientRect(window_);
    ::MoveWindow(panel_, 0, 0, area.right, area.bottom, TRUE);
    if (browser_) {
        browser_->MoveTo(ClientRect(panel_));
        browser_->StopPageBackgroundErase();
    }
    if (!LoadingViewShown()) return;
    const RECT host = ClientRect(panel_);
    const LoadingLayout layout = LayOutLoadingPage(SIZE{host.right, host.bottom}, kLoadingBarSize, kLineSize);
    Place(picture_, layout.picture);
    Place(bar_, layout.bar);
    Place(line_, layout.line);
    ::InvalidateRect(panel_, nullptr, TRUE);
}

void LauncherWindow::ApplyShowState(ShowState state) {
    showState_ = state;
    switch (state) {
        case ShowState::Maximised:
            lastShown_ = state;
            ::ShowWindow(window_, SW_SHOW);
            ::ShowWindow(window_, SW_MAXIMIZE);
            {
                RECT r{};
                ::GetWindowRect(window_, &r);
                ::SetWindowPos(window_, HWND_NOTOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                               SWP_FRAMECHANGED | SWP_NOACTIVATE);
            }
            if (browser_) browser_->SetMaximised(true);
            LayOut();
            break;
        case ShowState::Restored: {
            lastShown_ = state;
            ::ShowWindow(window_, SW_SHOW);
            ::ShowWindow(window_, SW_SHOWNORMAL);
            if (firstRestore_) {
                const RECT r = FirstRestoreRect(SIZE{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)});
                ::SetWindowPos(window_, HWND_NOTOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                               SWP_FRAMECHANGED);
                firstRestore_ = false;
            }
            if (browser_) browser_->SetMaximised(false);
            LayOut();
            break;
        }
        case ShowState::Minimised:
            if (push_) push_->HideMsgDialog();
            ::ShowWindow(window_, SW_MINIMIZE);
            break;
        case ShowState::Hidden:
            if (push_) push_->HideMsgDialog();
            ::ShowWindow(window_, SW_HIDE);
            break;
    }
}

void LauncherWindow::AddTrayIcon() {
    iconHandle_.reset(static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MIREFOLD), IMAGE_ICON, 16, 16, 0)));
    if (!trayIcon_.Add(window_, kTrayIconId, msg::kLauncherTrayIcon, iconHandle_.get(), kProductTitle)) {
        WriteLog(L"The notification-area icon cannot be added.");
    }
}

void LauncherWindow::ApplyProgressTexts() {
    if (std::optional<std::wstring> tooltip = progress_.TakeTooltip()) trayIcon_.SetTooltip(*tooltip);
}

void LauncherWindow::OnTimer(UINT_PTR id) {
    if (id == kPageTimeoutTimer) {
        ::KillTimer(window_, kPageTimeoutTimer);
        if (!loaded_) {
            WriteLog(Format(L"The practice center did not report within %u s: the update starts without it.",
                            kPageLoadTimeoutMs / 1000));
            PageLoaded();
        }
        return;
    }
    if (id != kProgressTimer) return;
    const LoadingProgress::Tick tick = progress_.OnTimer();
    ::SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(tick.bar), 0);
    ::SetWindowTextW(line_, tick.line.c_str());
    ::InvalidateRect(line_, nullptr, TRUE);
    if (tick.done) ::KillTimer(window_, kProgressTimer);
}

void LauncherWindow::OnNavigateError(const std::wstring& url, long status, bool topLevel) {
    if (!topLevel || loaded_ || LoadingViewShown()) return;
    WriteLog(Format(L"The practice center did not load (%s, status 0x%08X): the update starts without it.", url,
                    static_cast<unsigned>(status)));
    PageLoaded();
}

bool LauncherWindow::OnBeforeNavigate(const gui::NavigationEvent& navigation) {
    const NavigationFacts facts{navigation.topLevel, navigation.frameLocation, navigation.topLocation};
    switch (DecideNavigation(navigation.url, facts, practiceSite_)) {
        case NavigationVerdict::Go:
            if (navigation.topLevel) {
                requestedTop_ = navigation.url;
                redirects_ = 0;
            }
            return false;
        case NavigationVerdict::Command: return HandlePageCommand(navigation.url);
        case NavigationVerdict::Refuse: break;
    }
    LogRefusedOnce(std::wstring(navigation.topLevel ? L"The practice center's browser" : L"A frame of the practice center") +
                   L" was sent off the practice site; refused: " + navigation.url);
    return true;
}

bool LauncherWindow::OnTopArrived(const std::wstring& url) {
    switch (JudgeArrival(url, requestedTop_, redirects_, practiceSite_)) {
        case Arrival::Stay: return true;
        case Arrival::Redirected:
            ++redirects_;
            requestedTop_ = url;
            return true;
        case Arrival::Leave: break;
    }
    LogRefusedOnce(L"The practice center's page was redirected off the practice site; left: " + url);
    return false;
}

// Once per text: a page that keeps trying does not fill the log.
void LauncherWindow::LogRefusedOnce(const std::wstring& text) {
    if (refusalsLogged_.size() < 100 && refusalsLogged_.insert(text).second) WriteLog(text);
}

bool LauncherWindow::HandlePageCommand(const std::wstring& url) {
    switch (PageCommandIn(url)) {
        case PageCommand::None: return false;
        case PageCommand::LoadComplete: PageLoaded(); return true;
        case PageCommand::Activate: StartCompanion(); return true;
        case PageCommand::Minimise: ApplyShowState(ShowState::Minimised); return true;
        case PageCommand::Maximise:
            if (browser_) browser_->SetMaximised(!browser_->Maximised());
            ApplyShowState(ShowState::Maximised);
            return true;
        case PageCommand::Restore:
            if (browser_) browser_->SetMaximised(!browser_->Maximised());
            ApplyShowState(ShowState::Restored);
            return true;
        case PageCommand::Exit:
            if (!offlineReady_ && loaded_) {
                ApplyShowState(ShowState::Hidden);
            } else {
                ::ShowWindow(window_, SW_MINIMIZE);
                Quit(false);
            }
            return true;
        case PageCommand::ActivateApp: return true;
        case PageCommand::MoveWindow:
            if (showState_ == ShowState::Restored) {
                ::ReleaseCapture();
                ::SendMessageW(window_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
                ::SendMessageW(window_, WM_LBUTTONUP, 0, 0);
            }
            return true;
    }
    return false;
}

void LauncherWindow::PageLoaded() {
    loaded_ = true;
    ::KillTimer(window_, kPageTimeoutTimer);
    StartWorker();
}

void LauncherWindow::StartWorker() {
    if (workerStarted_) return;
    ::SetPropW(window_, host::kNeedMessagesProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(host::kOn)));
    Process().notifications.Register(window_);
    const LPTHREAD_START_ROUTINE entry = form_ == LauncherForm::Plain ? actions_.fullWorker : actions_.checkWorker;
    if (entry == nullptr) return;
    UniqueHandle thread(::CreateThread(nullptr, 0, entry, window_, 0, nullptr));
    workerStarted_ = thread.valid();
    if (!workerStarted_) WriteLog(L"The update worker cannot be started.");
}

void LauncherWindow::StartCompanion() {
    const CompanionFiles companions = CompanionFiles::ForExecutableFolder(ExecutableFolder());
    std::wstring program;
    auto exeFor = [](const std::wstring& ini) { return ini.substr(0, ini.size() - 4) + L".exe"; };
    if (FileExists(companions.setPath)) program = exeFor(companions.setPath);
    if (FileExists(companions.kcPath)) program = exeFor(companions.kcPath);
    if (program.empty() || !FileExists(program)) return;
    ::ShellExecuteW(nullptr, L"open", program.c_str(), L"-Active", nullptr, SW_SHOWNORMAL);
}

void LauncherWindow::WorkerFinished() {
    ::SetPropW(window_, host::kNeedMessagesProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0)));
    ProcessState& state = Process();
    // The elevated instance asks for rights no second time: what it still
    // cannot write stays as it is.
    if (state.run.elevatedRelaunch) ClearAdministratorFiles();
    if (HasAdministratorFiles()) {
        WriteLog(Translate(L"continue update as administrator"));
        RelaunchElevated(true);
        Quit(false);
        return;
    }
    switch (form_) {
        case LauncherForm::Plain:
            offlineReady_ = true;
            ::SetWindowTextW(window_, kCachedTitle);
            trayIcon_.SetTooltip(kCachedTitle);
            if (!computer_) return;  // the practice center stays open, offline too
            // The loading page shows where the update ended before it goes:
            // the install phase's last text comes before its final status.
            progress_.OnStatus(static_cast<int>(state.updateList.Status()));
            if (progress_.OnStatusText(progress_.statusText())) ApplyProgressTexts();
            OnTimer(kProgressTimer);
            ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            PumpMessagesFor(150);  // the user sees the full bar before the main program covers it
            if (actions_.launchMainProgram) actions_.launchMainProgram(false);
            // A moment for the main program to come up; the finished page
            // keeps painting (and answering) meanwhile.
            PumpMessagesFor(300);
            break;
        case LauncherForm::Check: break;
        case LauncherForm::Enter:
            ::ShowWindow(window_, SW_HIDE);
            if (actions_.continueEnterFlow) actions_.continueEnterFlow();
            break;
    }
    Quit(false);
}

void LauncherWindow::CloseOrHide() {
    if (!offlineReady_ && loaded_) {
        ApplyShowState(ShowState::Hidden);
        return;
    }
    if (AskExit()) Quit(true);
}

// The exit question is the window's own: it is asked whatever the mode, as
// somebody chose to exit.
bool LauncherWindow::AskExit() {
    const int answer = ::MessageBoxW(window_, kExitQuestion, kProductTitle, MB_YESNO | MB_ICONQUESTION);
    WriteLog(std::wstring(L"Exit asked: ") + (answer == IDYES ? L"yes" : L"no"));
    return answer == IDYES;
}

void LauncherWindow::Quit(bool skipLoop) {
    if (skipLoop) skipLoop_ = true;
    ::PostQuitMessage(0);
}

void LauncherWindow::OnTrayIcon(UINT mouseMessage) {
    switch (mouseMessage) {
        case WM_LBUTTONDOWN:
            ::SetWindowLongPtrW(window_, GWL_EXSTYLE, ::GetWindowLongPtrW(window_, GWL_EXSTYLE) | WS_EX_TOPMOST);
            // A window hidden to the notification area (or minimised) comes
            // back as it was last shown.
            ApplyShowState(showState_ == ShowState::Hidden || showState_ == ShowState::Minimised ? lastShown_
                                                                                                 : showState_);
            break;
        case WM_LBUTTONDBLCLK:
            ::SetForegroundWindow(window_);
            ::ShowWindow(window_, SW_SHOWNORMAL);
            break;
        case WM_RBUTTONUP: ShowTrayMenu(); break;
        default: break;
    }
}

void LauncherWindow::ShowTrayMenu() {
    UniqueMenu menu(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_LAUNCHER_TRAY)));
    HMENU popup = menu ? ::GetSubMenu(menu.get(), 0) : nullptr;
    if (popup == nullptr) return;
    POINT cursor{};
    ::GetCursorPos(&cursor);
    ::SetForegroundWindow(window_);
    const UINT chosen = static_cast<UINT>(::TrackPopupMenu(
        popup, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, cursor.x, cursor.y, 0, window_, nullptr));
    ::PostMessageW(window_, WM_NULL, 0, 0);
    if (chosen == ID_TRAY_OPEN) {
        ApplyShowState(showState_ == ShowState::Hidden || showState_ == ShowState::Minimised ? lastShown_
                                                                                             : showState_);
    } else if (chosen == ID_TRAY_EXIT) {
        if (AskExit()) Quit(true);
    }
}

}  // namespace

LauncherOutcome ShowLauncherWindow(LauncherForm form, HWND owner, const LauncherActions& actions) {
    LauncherWindow window(form, actions);
    if (!window.Create(owner)) {
        WriteLog(L"The launcher window cannot be created.");
        return {};
    }
    return window.RunModal();
}

}  // namespace mf::ui
