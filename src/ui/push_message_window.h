// The push-message window and its scheduler. The launcher creates both: the
// window (CMsgDlg, hidden, owned by the launcher) shows one message at a
// time, an image banner sized by its page or an offer page of the size the
// message names, at one of nine screen positions; the scheduler (its own
// thread) fetches the message list once, then decides every second whether
// a message is due (ui/push_messages.h) and hands it to the launcher.
//
// Messages, all sent (never posted), with system strings (BSTR) in lParam:
//   1029 scheduler -> launcher -> window: wParam 1, the record text
//   1030 window -> launcher -> scheduler: wParam 0, the id of a message
//        the user has dealt with (retired for the rest of the run)
// Who frees a system string: its sender, once SendMessage has returned.
// Receivers only read it during the call (MessageText copies it) and never
// free it, so a message passed on by the launcher carries the same string.
//
// The scheduler holds its lock only while it walks or retires records,
// never while it sends: the window retires a message (taking the lock)
// while the scheduler's send of 1029 is being handled.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gui/html_dialog.h"
#include "ui/push_message_place.h"
#include "ui/push_messages.h"

namespace mf::ui {

struct OfferCheck;

// A system string's text (null: empty).
[[nodiscard]] std::wstring MessageText(LPARAM bstr);
// Sends `text` as a system string that this call allocates and frees.
LRESULT SendTextMessage(HWND window, UINT message, WPARAM wParam, const std::wstring& text);

// "OpenUrl" opens web addresses only (http and https, as the system's URL
// parser reads them, without control characters): a link comes from the
// message server, and the shell would run a program or open a file as
// readily as a page.
[[nodiscard]] bool IsWebAddress(std::wstring_view url);

// The machine identifier goes to the hosts of PracticeCenterURL and
// MessageServerURL only: whether `url` is on one of `hosts`.
[[nodiscard]] bool MayReceiveMachineId(std::wstring_view url, const std::vector<std::wstring>& hosts);
// The hosts of these base addresses (those that are web addresses).
[[nodiscard]] std::vector<std::wstring> IdentifierHosts(const std::vector<std::wstring>& servers);

// The first address of a record that is not a web address ("MsgUrl",
// "eleUrl", "eleTransUrl", each where it is not empty), or nullopt. Such a
// record is never shown: an address handed to the page must not run as
// script inside the engine's own page.
[[nodiscard]] std::optional<std::wstring> NonWebAddress(const ShownMessage& message);

// "OpenUrl" answers a click only: the window hands the page a fresh token
// with "addImg" and "setUrl", and a call counts when it brings that token
// back, once, at most once a second.
inline constexpr ULONGLONG kOpenUrlSpacingMs = 1000;

// What the window needs to know of the installation and the network.
struct PushContext {
    std::wstring messageServer;
    std::wstring machineId;
    // Hosts an offer page may learn the machine identifier on.
    std::vector<std::wstring> identifierHosts;
    OfferProduct product;
    // HttpPost (net/internet.h): 0 when done, with the answer.
    std::function<int(const std::wstring& url, std::wstring& answer)> post;
    // Opens a link in the user's browser (gui/shell_open.h); false when
    // nothing was started.
    std::function<bool(const std::wstring& url)> open;

    // From the configuration, the companion files and the machine id.
    static PushContext FromConfiguration();
};

// The push-message request of this installation (the launcher's start-up).
[[nodiscard]] std::wstring PushMessageRequestFromConfiguration();

class CMsgDlg final : public gui::CBaseHtmlDlg {
public:
    // `launcher` owns the window and receives message 1030.
    CMsgDlg(HWND launcher, PushContext context);
    ~CMsgDlg() override;
    CMsgDlg(const CMsgDlg&) = delete;
    CMsgDlg& operator=(const CMsgDlg&) = delete;

    bool Create();

    // Message 1029's text (the launcher passes it on by sending 1029 to the
    // window, or calls this).
    void ShowRecord(const std::wstring& recordText);
    // The external methods of the page.
    // `token` is what the page was handed with the message on show.
    void OpenUrl(const std::wstring& url, const std::wstring& token);
    void ResizeDlg(const std::wstring& size);
    void HideMsgDialog();
    // The user has dealt with the message: hide, forget the offer, tell the
    // launcher (1030).
    void Retire(const std::wstring& id);

    // "id|check URL" of the offer on show, empty when none.
    [[nodiscard]] std::wstring CurrentOffer() const;
    [[nodiscard]] int Position() const { return position_; }

protected:
    std::vector<std::pair<std::wstring, gui::ExternalMethod>> ExternalMethods() override;
    INT_PTR OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The offer's page did not load: the offer is retired for this run.
    void OnFrameFailed(const std::wstring& url) override;

private:
    struct Shared;
    void RunOfferCheck(const ShownMessage& message);
    void TakeOfferChecks();
    void ShowOffer(const OfferCheck& check);
    void PlaceAndShow(SIZE size);
    void StartOfferWatch();
    // A fresh click token for the message about to be shown.
    std::wstring HandOutToken(std::wstring link);

    HWND launcher_;
    PushContext context_;
    int position_ = 8;
    int xOffset_ = 0;
    int yOffset_ = 0;
    std::wstring clickToken_;
    std::wstring clickLink_;  // the banner's link; empty: any web address
    ULONGLONG lastOpen_ = 0;
    std::shared_ptr<Shared> shared_;
};

// The scheduler thread. Start fetches the answer with `fetch` on the new
// thread (a slow or failing message server never holds the launcher up),
// reads it, and then runs a pass every second until Stop (or the end of
// the process). The thread is not joined: it holds what it uses.
class PushScheduler {
public:
    using Fetch = std::function<std::wstring()>;
    static std::shared_ptr<PushScheduler> Start(HWND launcher, const CMsgDlg& window, Fetch fetch);
    ~PushScheduler();

    // Message 1030, on the window thread.
    void Retire(const std::wstring& id);
    void Stop();
    // For tests: the number of records read, or -1 before the answer came.
    [[nodiscard]] int RecordCount() const;

private:
    struct State;
    explicit PushScheduler(std::shared_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> state_;
};

}  // namespace mf::ui
