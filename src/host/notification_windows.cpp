#include "host/notification_windows.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "base/files.h"
#include "base/handles.h"
#include "base/messages.h"
#include "base/strings.h"
#include "host/host_protocol.h"

namespace mf {

namespace {

bool PropertyOn(HWND window, const wchar_t* name) {
    return reinterpret_cast<INT_PTR>(::GetPropW(window, name)) == host::kOn;
}

void SetIntProperty(HWND window, const wchar_t* name, int value) {
    ::SetPropW(window, name, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(value)));
}

DWORD ProcessOf(HWND window) {
    DWORD id = 0;
    ::GetWindowThreadProcessId(window, &id);
    return id;
}

// How long one message may take a receiver. Hosts answer at once; one that
// takes longer is hung and would otherwise hold the update with it.
constexpr UINT kSendTimeoutMs = 5000;

// Text blocks hold data only: read-write, never executable.
void* CommitRemote(HANDLE process, std::size_t bytes) {
    if (process == nullptr) return nullptr;
    return ::VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

}  // namespace

struct NotificationWindows::Receiver {
    HWND window = nullptr;
    DWORD processId = 0;
    UniqueHandle process;
    UniqueRemoteMemory block;  // declared after the process handle it borrows
    // Several threads send text lines; one text at a time goes through a
    // window's block. Recursive, and given up after a while, so that a
    // receiver that logs from its own handler cannot lock the sender out.
    std::recursive_timed_mutex blockLock;
    std::atomic<bool> exitWhenKilled{false};
    // Set when a send to the window timed out or failed: no message is sent
    // to it again. A message that timed out may still be read when the
    // receiver wakes up, so its memory is then never freed by the engine.
    std::atomic<bool> skipped{false};

    ~Receiver() {
        if (skipped) (void)block.release();
    }

    // Reads the host's wish while the window exists; a window destroyed
    // meanwhile has lost its properties, so the value is kept only when
    // the window was still there after the read.
    bool RefreshExitWhenKilled() {
        const bool on = PropertyOn(window, host::kExitWhenKilledProperty);
        if (::IsWindow(window)) exitWhenKilled = on;
        return exitWhenKilled;
    }
};

std::wstring TextBlockFor(const std::wstring& text) {
    std::size_t length = std::min(text.size(), host::kTextBlockUnits - 1);
    if (length < text.size() && length > 0 && IS_HIGH_SURROGATE(text[length - 1])) --length;
    std::wstring block(host::kTextBlockUnits, L'\0');
    std::copy_n(text.begin(), length, block.begin());
    return block;
}

NotificationWindows::~NotificationWindows() { ReleaseAll(); }

void NotificationWindows::Register(HWND window) {
    if (window == nullptr) return;
    const DWORD processId = ProcessOf(window);
    std::lock_guard lock(mutex_);
    auto& receiver = receivers_[window];
    // A handle seen before may by now belong to another program's window.
    // A window of this process that registers again is answering again (it
    // was only busy, say in a request of its own): it gets a fresh start,
    // with a new block, as the old one may still be read.
    const bool ownAgain = receiver && receiver->skipped && processId == ::GetCurrentProcessId();
    if (!receiver || receiver->processId != processId || ownAgain) {
        auto fresh = std::make_shared<Receiver>();
        fresh->window = window;
        fresh->processId = processId;
        fresh->process.reset(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId));
        if (void* address = CommitRemote(fresh->process.get(), host::kTextBlockBytes))
            fresh->block = UniqueRemoteMemory(fresh->process.get(), address);
        receiver = std::move(fresh);
    }
    receiver->RefreshExitWhenKilled();
    if (std::find(windows_.begin(), windows_.end(), window) == windows_.end()) windows_.push_back(window);
}

void NotificationWindows::Unregister(HWND window) {
    std::lock_guard lock(mutex_);
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

bool NotificationWindows::IsListed(HWND window) const {
    std::lock_guard lock(mutex_);
    return std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}

std::vector<HWND> NotificationWindows::Windows() const {
    std::lock_guard lock(mutex_);
    return windows_;
}

// The windows are sent to outside the list lock: a receiver of this process
// may register or log while it handles the message.
NotificationWindows::ReceiverList NotificationWindows::Snapshot() const {
    std::lock_guard lock(mutex_);
    ReceiverList list;
    for (HWND window : windows_) {
        auto found = receivers_.find(window);
        if (found != receivers_.end()) list.push_back(found->second);
    }
    return list;
}

std::shared_ptr<NotificationWindows::Receiver> NotificationWindows::Find(HWND window) const {
    std::lock_guard lock(mutex_);
    if (std::find(windows_.begin(), windows_.end(), window) == windows_.end()) return nullptr;
    auto found = receivers_.find(window);
    return found != receivers_.end() ? found->second : nullptr;
}

bool NotificationWindows::Send(Receiver& receiver, UINT message, WPARAM wParam, LPARAM lParam) {
    if (receiver.skipped) return false;
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutW(receiver.window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs,
                              &result) != 0)
        return true;
    if (!receiver.skipped.exchange(true)) {
        std::function<void(HWND)> report;
        {
            std::lock_guard lock(mutex_);
            report = unresponsive_;
        }
        if (report) report(receiver.window);
    }
    return false;
}

void NotificationWindows::BroadcastStatus(int code, int fileCount) {
    for (const auto& receiver : Snapshot()) {
        receiver->RefreshExitWhenKilled();
        if (PropertyOn(receiver->window, host::kNeedMessagesProperty))
            Send(*receiver, msg::kStatus, static_cast<WPARAM>(code), static_cast<LPARAM>(fileCount));
        SetIntProperty(receiver->window, host::kStatusProperty, code);
        SetIntProperty(receiver->window, host::kFileCountProperty, fileCount);
    }
}

void NotificationWindows::SendText(Receiver& receiver, UINT message, const std::wstring& text, LPARAM value) {
    if (receiver.skipped) return;
    std::unique_lock lock(receiver.blockLock, std::defer_lock);
    (void)lock.try_lock_for(std::chrono::seconds(2));
    // A receiver that stopped answering meanwhile may still read its block.
    if (receiver.skipped) return;
    void* address = receiver.block.get();
    if (address != nullptr) {
        const std::wstring block = TextBlockFor(text);
        SIZE_T written = 0;
        if (!::WriteProcessMemory(receiver.process.get(), address, block.data(), host::kTextBlockBytes, &written))
            address = nullptr;
    }
    lock.unlock();
    Send(receiver, message, reinterpret_cast<WPARAM>(address), value);
}

void NotificationWindows::SendTextLine(const std::wstring& text) {
    const ReceiverList receivers = Snapshot();
    if (receivers.empty()) return;
    std::wstring line = text;
    const std::wstring folder = ApplicationFolder();
    if (!folder.empty()) ReplaceAll(line, folder, L"");
    for (const auto& receiver : receivers) SendText(*receiver, msg::kTextLine, line, 0);
}

void NotificationWindows::SendFileCount(int completed, int total) {
    for (const auto& receiver : Snapshot())
        if (PropertyOn(receiver->window, host::kNeedMessagesProperty))
            Send(*receiver, msg::kFileCount, static_cast<WPARAM>(completed), static_cast<LPARAM>(total));
}

void NotificationWindows::SendDescription(const std::wstring& text) {
    for (const auto& receiver : Snapshot()) {
        if (receiver->skipped || !PropertyOn(receiver->window, host::kNeedMessagesProperty)) continue;
        // A block of its own, with room for the terminator, released as soon
        // as the receiver has returned.
        const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        void* address = CommitRemote(receiver->process.get(), bytes);
        if (address == nullptr) continue;
        UniqueRemoteMemory owned(receiver->process.get(), address);
        SIZE_T written = 0;
        if (!::WriteProcessMemory(receiver->process.get(), address, text.c_str(), bytes, &written)) continue;
        // Unanswered, the message may still be read later: the block stays.
        if (!Send(*receiver, msg::kDescription, reinterpret_cast<WPARAM>(address), 0)) (void)owned.release();
    }
}

void NotificationWindows::SendByteProgress(long size, long received) {
    for (const auto& receiver : Snapshot())
        Send(*receiver, msg::kByteProgress, static_cast<WPARAM>(size), static_cast<LPARAM>(received));
}

void NotificationWindows::SendStatusText(const std::wstring& text) {
    HWND host = nullptr;
    {
        std::lock_guard lock(mutex_);
        host = hostWindow_;
    }
    if (host != nullptr) SendStatusText(host, text, 0);
}

void NotificationWindows::SendStatusText(HWND window, const std::wstring& text, LPARAM value) {
    if (window == nullptr) return;
    std::wstring shown = Replaced(text, L"{zip}{process}", L"");
    if (auto receiver = Find(window)) {
        std::function<std::wstring()> workFolder;
        {
            std::lock_guard lock(mutex_);
            workFolder = workFolder_;
        }
        const std::wstring folder = workFolder ? workFolder() : std::wstring();
        if (!folder.empty()) ReplaceAll(shown, folder, L"");
        SendText(*receiver, msg::kStatusText, shown, value);
        return;
    }
    // Not a notification window: one of this process's own windows, which
    // can read the text where it is. (The address means nothing to another
    // process, so such a window gets nothing.) No time-out here: the text
    // must stay where it is until the window has read it.
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != ::GetCurrentProcessId()) return;
    ::SendMessageW(window, msg::kStatusText, reinterpret_cast<WPARAM>(shown.c_str()), value);
}

void NotificationWindows::ReleaseAll() {
    std::map<HWND, std::shared_ptr<Receiver>> released;
    {
        std::lock_guard lock(mutex_);
        windows_.clear();
        released.swap(receivers_);
    }
    // A sender still busy with a window keeps that window's block alive
    // until it is done.
}

void NotificationWindows::SetHostWindow(HWND window) {
    std::lock_guard lock(mutex_);
    hostWindow_ = window;
}

void NotificationWindows::SetApplicationFolder(std::wstring folder) { applicationFolder_.Set(folder); }

void NotificationWindows::SetUnresponsiveHandler(std::function<void(HWND)> handler) {
    std::lock_guard lock(mutex_);
    unresponsive_ = std::move(handler);
}

void NotificationWindows::SetWorkFolderSource(std::function<std::wstring()> source) {
    std::lock_guard lock(mutex_);
    workFolder_ = std::move(source);
}

std::wstring NotificationWindows::ApplicationFolder() { return applicationFolder_.Get(); }

bool NotificationWindows::ExitWhenKilled(HWND window) {
    std::shared_ptr<Receiver> receiver;
    {
        std::lock_guard lock(mutex_);
        auto found = receivers_.find(window);
        if (found != receivers_.end()) receiver = found->second;
    }
    if (receiver) return receiver->RefreshExitWhenKilled();
    return PropertyOn(window, host::kExitWhenKilledProperty);
}

}  // namespace mf
