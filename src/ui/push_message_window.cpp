#include "ui/push_message_window.h"

#include <bcrypt.h>
#include <oleauto.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/files.h"
#include "base/messages.h"
#include "base/strings.h"
#include "engine/config.h"
#include "base/text_format.h"
#include "engine/machine_id.h"
#include "engine/process_state.h"
#include "engine/web_services.h"
#include "gui/shell_open.h"
#include "gui/web_address.h"
#include "net/internet.h"
#include "ui/resource_ids.h"

namespace mf::ui {

namespace {

constexpr DWORD kSchedulerPeriodMs = 1000;
constexpr DWORD kOfferWatchPeriodMs = 2000;

LocalTime Now() {
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    return LocalSeconds(local);
}

SIZE ScreenSize() { return SIZE{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}; }

// Sleeps in short steps so that a stop is seen soon.
bool SleepUnlessStopped(const std::atomic<bool>& stop, DWORD milliseconds) {
    for (DWORD slept = 0; slept < milliseconds && !stop; slept += 100) ::Sleep(100);
    return !stop;
}

// 128 random bits in hex: a page that did not get it cannot guess it.
std::wstring NewClickToken() {
    unsigned char bytes[16] = {};
    if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return {};
    std::wstring token;
    for (unsigned char b : bytes) token += Format(L"%02x", static_cast<unsigned>(b));
    return token;
}

}  // namespace

std::wstring MessageText(LPARAM bstr) {
    const auto text = reinterpret_cast<BSTR>(bstr);
    return text != nullptr ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
}

LRESULT SendTextMessage(HWND window, UINT message, WPARAM wParam, const std::wstring& text) {
    BSTR value = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (value == nullptr) return 0;
    const LRESULT result = ::SendMessageW(window, message, wParam, reinterpret_cast<LPARAM>(value));
    ::SysFreeString(value);
    return result;
}

bool IsWebAddress(std::wstring_view url) { return gui::ParseWebAddress(Trim(url)).has_value(); }

bool MayReceiveMachineId(std::wstring_view url, const std::vector<std::wstring>& hosts) {
    const std::optional<gui::WebAddress> address = gui::ParseWebAddress(Trim(url));
    return address && std::find(hosts.begin(), hosts.end(), address->host) != hosts.end();
}

std::vector<std::wstring> IdentifierHosts(const std::vector<std::wstring>& servers) {
    std::vector<std::wstring> hosts;
    for (const std::wstring& server : servers)
        if (auto address = gui::ParseWebAddress(server)) hosts.push_back(address->host);
    return hosts;
}

std::optional<std::wstring> NonWebAddress(const ShownMessage& m) {
    for (const std::wstring* address : {&m.pageUrl, &m.imageUrl, &m.linkUrl})
        if (!address->empty() && !IsWebAddress(*address)) return *address;
    return std::nullopt;
}

PushContext PushContext::FromConfiguration() {
    PushContext c;
    c.messageServer = MessageServer();
    c.machineId = MachineIdentifier();
    c.identifierHosts = IdentifierHosts({PracticeCenterServer(), c.messageServer});
    const CompanionFiles companions = CompanionFiles::ForExecutableFolder(ExecutableFolder());
    if (companions.HasSet() || companions.HasKc()) {
        c.product = OfferProductFor(companions.HasSet() ? Companion::Set : Companion::Kc, companions.Read(L"Name"),
                                    companions.Read(L"XA"), companions.Read(L"QuorvilSetId"), companions.Read(L"Code"));
    } else {
        c.product = OfferProductFor(Companion::None, L"", ReadConfig(L"APPLICATION", L"XA"),
                                    ReadConfig(L"APPLICATION", L"PlanId"), L"");
    }
    c.post = [](const std::wstring& url, std::wstring& answer) { return HttpPost(url, answer, kMaxPushAnswerBytes); };
    c.open = [](const std::wstring& url) { return gui::OpenInUserShell(url); };
    return c;
}

std::wstring PushMessageRequestFromConfiguration() {
    const CompanionFiles companions = CompanionFiles::ForExecutableFolder(ExecutableFolder());
    if (companions.HasSet() || companions.HasKc())
        return PushMessageRequestUrl(MessageServer(), true, companions.Read(L"QuorvilSetId"), companions.Read(L"Code"));
    return PushMessageRequestUrl(MessageServer(), false, ReadConfig(L"APPLICATION", L"PlanId"), L"");
}

// An offer check on its way: the message, its check and the answer.
struct OfferCheck {
    ShownMessage message;
    std::wstring url;
    std::wstring answer;
};

// What the window shares with its offer watch and its checks.
struct CMsgDlg::Shared {
    std::mutex lock;
    std::wstring offerId;
    std::wstring offerCheckUrl;
    std::atomic<bool> stop{false};
    bool watching = false;
    bool checking = false;               // a check is under way
    std::vector<OfferCheck> answered;    // checks done, for the window thread
};

CMsgDlg::CMsgDlg(HWND launcher, PushContext context)
    : CBaseHtmlDlg(IDD_PUSH_MESSAGE, IDH_PUSH_MESSAGE),
      launcher_(launcher),
      context_(std::move(context)),
      shared_(std::make_shared<Shared>()) {}

CMsgDlg::~CMsgDlg() { shared_->stop = true; }

bool CMsgDlg::Create() {
    if (!CBaseHtmlDlg::Create(launcher_, IDC_PUSH_BROWSER)) return false;
    if (HICON icon = ::LoadIconW(gui::ThisModule(), MAKEINTRESOURCEW(IDI_MESSAGE)))
        ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    return true;
}

std::vector<std::pair<std::wstring, gui::ExternalMethod>> CMsgDlg::ExternalMethods() {
    auto first = [](const std::vector<std::wstring>& args) { return args.empty() ? std::wstring() : args[0]; };
    return {
        {L"OpenUrl",
         [this, first](const std::vector<std::wstring>& args) {
             OpenUrl(first(args), args.size() > 1 ? args[1] : std::wstring());
         }},
        {L"ResizeDlg", [this, first](const std::vector<std::wstring>& args) { ResizeDlg(first(args)); }},
        {L"HideMsgDialog", [this](const std::vector<std::wstring>&) { HideMsgDialog(); }},
    };
}

INT_PTR CMsgDlg::OnDialogMessage(UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
        case msg::kPushShow: ShowRecord(MessageText(lParam)); return TRUE;
        case msg::kPushRetireOffer: {
            std::wstring id;
            {
                std::lock_guard<std::mutex> hold(shared_->lock);
                id = shared_->offerId;
            }
            if (!id.empty()) Retire(id);
            return TRUE;
        }
        case msg::kPushOfferChecked: TakeOfferChecks(); return TRUE;
        case WM_COMMAND: return TRUE;  // Enter and Escape do not close it; the page's close button hides it
        case WM_CLOSE: HideMsgDialog(); return TRUE;
        default: return FALSE;
    }
}

void CMsgDlg::ShowRecord(const std::wstring& recordText) {
    const ShownMessage m = ParseRecordText(recordText);
    position_ = m.position;
    xOffset_ = m.xOffset;
    yOffset_ = m.yOffset;
    if (auto bad = NonWebAddress(m)) {
        WriteLog(L"Push message " + m.id + L": not a web address, never shown: " + *bad);
        Retire(m.id);
        return;
    }
    if (m.task.empty()) {
        // A banner, only over a launcher that a person can see: the page
        // sizes itself to the image and calls ResizeDlg.
        if (::IsWindowVisible(launcher_) && !::IsIconic(launcher_))
            (void)CallScript(L"addImg", {m.id + L"|" + m.imageUrl + L"|" + m.linkUrl, HandOutToken(m.linkUrl)});
    } else if (m.task == kOfferTask) {
        RunOfferCheck(m);
    }
}

// The check is a request to the message server: it runs on a thread of its
// own, so that a slow server never holds the window (nor the launcher that
// sent it the message); its answer comes back through the window's queue.
void CMsgDlg::RunOfferCheck(const ShownMessage& m) {
    const OfferProduct& product = context_.product;
    if (product.productId.empty()) return;
    OfferCheck check{m, OfferCheckUrl(context_.messageServer, context_.machineId, product), L""};
    {
        std::lock_guard<std::mutex> hold(shared_->lock);
        if (shared_->checking) return;  // one at a time; the schedule offers it again
        shared_->checking = true;
    }
    std::thread([check = std::move(check), shared = shared_, window = hwnd(), post = context_.post]() mutable {
        try {
            if (post) (void)post(check.url, check.answer);  // a failed check: the offer still applies
        } catch (...) {
            check.answer.clear();
        }
        {
            std::lock_guard<std::mutex> hold(shared->lock);
            shared->answered.push_back(std::move(check));
        }
        if (!shared->stop) ::PostMessageW(window, msg::kPushOfferChecked, 0, 0);
    }).detach();
}

void CMsgDlg::TakeOfferChecks() {
    std::vector<OfferCheck> answered;
    {
        std::lock_guard<std::mutex> hold(shared_->lock);
        answered.swap(shared_->answered);
        shared_->checking = false;
    }
    for (const OfferCheck& check : answered) ShowOffer(check);
}

void CMsgDlg::ShowOffer(const OfferCheck& check) {
    const ShownMessage& m = check.message;
    if (OfferTaken(check.answer)) {
        WriteLog(L"Push message " + m.id + L": the offer no longer applies.");
        Retire(m.id);
        return;
    }
    {
        std::lock_guard<std::mutex> hold(shared_->lock);
        shared_->offerId = m.id;
        shared_->offerCheckUrl = check.url;
    }
    // The offer page gets the machine identifier only on the engine's own
    // services' hosts.
    const std::wstring id = MayReceiveMachineId(m.pageUrl, context_.identifierHosts) ? context_.machineId : L"";
    (void)CallScript(L"setUrl", {OfferPageArgument(m, id, context_.product), HandOutToken(L"")});
    const SIZE screen = ScreenSize();
    PlaceAndShow(SIZE{std::clamp<LONG>(m.pageWidth, 1, std::max<LONG>(screen.cx, 1)),
                      std::clamp<LONG>(m.pageHeight, 1, std::max<LONG>(screen.cy, 1))});
    StartOfferWatch();
}

void CMsgDlg::PlaceAndShow(SIZE size) {
    RECT now{};
    ::GetWindowRect(hwnd(), &now);
    POINT at{now.left, now.top};
    if (auto placed = PlaceMessageWindow(position_, ScreenSize(), size, xOffset_, yOffset_)) at = *placed;
    // A topmost window the server sizes and places: never outside the work
    // area, never covering more of it than there is.
    RECT area{0, 0, ScreenSize().cx, ScreenSize().cy};
    (void)::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const RECT r = KeepInside(at, size, area);
    ::SetWindowPos(hwnd(), HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
    ::UpdateWindow(hwnd());
    ::EnableWindow(hwnd(), TRUE);
}

std::wstring CMsgDlg::HandOutToken(std::wstring link) {
    clickToken_ = NewClickToken();
    clickLink_ = std::move(link);
    return clickToken_;
}

void CMsgDlg::OpenUrl(const std::wstring& url, const std::wstring& token) {
    const std::wstring link = Trim(url);
    // The token is taken back whatever happens: one click, one chance.
    const bool clicked = !clickToken_.empty() && token == clickToken_;
    clickToken_.clear();
    const ULONGLONG now = ::GetTickCount64();
    const char* refusal = !clicked                                  ? "without a click"
                          : now - lastOpen_ < kOpenUrlSpacingMs     ? "too soon after the last"
                          : !IsWebAddress(link)                     ? "not a web address"
                          : !clickLink_.empty() && link != clickLink_ ? "not the banner's link"
                                                                    : nullptr;
    if (refusal != nullptr) {
        WriteLog(L"Push message: a link asked for " + Widen(refusal) + L", not opened: " + link);
        return;
    }
    lastOpen_ = now;
    if (!context_.open || !context_.open(link)) WriteLog(L"Push message: the link could not be opened: " + link);
}

void CMsgDlg::OnFrameFailed(const std::wstring& url) {
    std::wstring id;
    {
        std::lock_guard<std::mutex> hold(shared_->lock);
        id = shared_->offerId;
    }
    if (id.empty()) return;
    WriteLog(L"Push message " + id + L": its page did not load, not shown again: " + url);
    Retire(id);
}

void CMsgDlg::ResizeDlg(const std::wstring& size) {
    if (auto parsed = ParseDialogSize(size, ScreenSize())) PlaceAndShow(*parsed);
}

void CMsgDlg::HideMsgDialog() { ::ShowWindow(hwnd(), SW_HIDE); }

void CMsgDlg::Retire(const std::wstring& id) {
    HideMsgDialog();
    {
        std::lock_guard<std::mutex> hold(shared_->lock);
        shared_->offerId.clear();
        shared_->offerCheckUrl.clear();
    }
    SendTextMessage(launcher_, msg::kPushRetired, 0, id);
}

std::wstring CMsgDlg::CurrentOffer() const {
    std::lock_guard<std::mutex> hold(shared_->lock);
    return shared_->offerId.empty() ? std::wstring() : shared_->offerId + L"|" + shared_->offerCheckUrl;
}

void CMsgDlg::StartOfferWatch() {
    {
        std::lock_guard<std::mutex> hold(shared_->lock);
        if (shared_->watching) return;
        shared_->watching = true;
    }
    std::thread([shared = shared_, window = hwnd(), post = context_.post] {
        try {
            while (SleepUnlessStopped(shared->stop, kOfferWatchPeriodMs)) {
                if (!::IsWindow(window)) break;
                std::wstring url;
                {
                    std::lock_guard<std::mutex> hold(shared->lock);
                    url = shared->offerCheckUrl;
                }
                if (url.empty() || !::IsWindowVisible(window) || !post) continue;
                std::wstring answer;
                (void)post(url, answer);
                if (OfferTakenByWatch(answer) && !shared->stop) {
                    DWORD_PTR ignored = 0;
                    ::SendMessageTimeoutW(window, msg::kPushRetireOffer, 0, 0, SMTO_ABORTIFHUNG, 10000, &ignored);
                }
            }
        } catch (...) {
        }
    }).detach();
}

// What the scheduler's thread shares with its owner.
struct PushScheduler::State {
    std::mutex lock;
    std::vector<PushMessage> records;
    LocalTime parseTime = 0;
    std::atomic<int> recordCount{-1};
    std::atomic<bool> stop{false};
    HWND launcher = nullptr;
    HWND window = nullptr;
    std::shared_ptr<std::atomic<bool>> pageLoaded;
};

std::shared_ptr<PushScheduler> PushScheduler::Start(HWND launcher, const CMsgDlg& window, Fetch fetch) {
    auto state = std::make_shared<State>();
    state->launcher = launcher;
    state->window = window.hwnd();
    state->pageLoaded = window.PageLoadedFlag();
    std::thread([state, fetch = std::move(fetch)] {
        try {
            const std::wstring answer = fetch ? fetch() : std::wstring();
            {
                std::lock_guard<std::mutex> hold(state->lock);
                state->parseTime = Now();
                state->records = ParsePushMessages(answer, state->parseTime);
                state->recordCount = static_cast<int>(state->records.size());
            }
            WriteLog(Format(L"Push messages: %d read.", state->recordCount.load()));
            while (SleepUnlessStopped(state->stop, kSchedulerPeriodMs)) {
                PushGate gate;
                gate.pageLoaded = state->pageLoaded && state->pageLoaded->load();
                gate.windowVisible = ::IsWindowVisible(state->window) != FALSE;
                gate.launcherForeground = ::GetForegroundWindow() == state->launcher;
                gate.launcherMinimised = ::IsIconic(state->launcher) != FALSE;
                if (!MayShow(gate)) continue;
                std::wstring text;
                {
                    std::lock_guard<std::mutex> hold(state->lock);
                    if (auto due = DuePushMessage(state->records, Now(), state->parseTime))
                        text = RecordText(state->records[*due]);
                }
                // Sent without the lock: handling it may retire a message.
                if (!text.empty() && !state->stop) SendTextMessage(state->launcher, msg::kPushShow, 1, text);
            }
        } catch (...) {
            WriteLog(L"The push-message scheduler met an unexpected error and stopped.");
        }
    }).detach();
    return std::shared_ptr<PushScheduler>(new PushScheduler(state));
}

PushScheduler::~PushScheduler() { Stop(); }

void PushScheduler::Retire(const std::wstring& id) {
    std::lock_guard<std::mutex> hold(state_->lock);
    RetirePushMessage(state_->records, id);
}

void PushScheduler::Stop() { state_->stop = true; }

int PushScheduler::RecordCount() const { return state_->recordCount.load(); }

}  // namespace mf::ui
