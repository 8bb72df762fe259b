#include "net/part_transfer.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "base/messages.h"
#include "base/strings.h"
#include "base/text_format.h"
#include "engine/process_state.h"
#include "net/internet.h"
#include "net/net_limits.h"
#include "net/range_downloader.h"
#include "net/request_pace.h"
#include "net/thread_value_table.h"

namespace mf {
namespace {

// The number in the agent name ("down%d") of each root handle a download
// opens. The agent name is the User-Agent that servers see, numbered through
// the whole process.
// Process-wide: a fresh state names its first handle "down1", as a fresh process does.
struct AgentCounters : ProcessWide {
    std::atomic<int> parts{0};
};

constexpr int kReadTries = 4;


std::int64_t SinkLength(HANDLE sink) {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(sink, &size) ? size.QuadPart : -1;
}

bool WriteAll(HANDLE sink, const char* bytes, DWORD count) {
    DWORD written = 0;
    return ::WriteFile(sink, bytes, count, &written, nullptr) && written == count;
}

// A positioned write: parts of one download write the same file at once,
// each at its own place.
bool WriteAt(HANDLE sink, std::int64_t offset, const char* bytes, DWORD count) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    return ::WriteFile(sink, bytes, count, &written, &at) && written == count;
}

class Transfer {
public:
    Transfer(PartJob& job, HANDLE sink)
        : job_(job),
          sink_(sink),
          table_(ThreadValueTable::Instance()),
          expected_(job.length),
          remaining_(job.length),
          ownBuffer_(job.buffer == nullptr ? kTransferBlock : 0),
          buffer_(job.buffer != nullptr ? job.buffer : ownBuffer_.data()),
          pace_(Limits(), ::GetTickCount64()) {
        SetDeadline(job.fileSize > 0 ? job.fileSize : std::min(job.maxBytes, Limits().unsizedBytes));
        if (job.reply != nullptr && *job.reply) {
            request_ = std::move(*job.reply);
            if (job.replyEnd > 0) replyEnd_ = job.replyEnd;
            NoteAsked();
        }
    }

    bool Run();

private:
    enum class Connect { Ready, Retry, Fail, EmptyFile };
    enum class Read { Accepted, Dropped, Failed };

    // Connects (again) until a reply is ready or the tries are spent.
    Connect EnsureConnected();
    Connect ConnectOnce();
    // Whether the open reply is what was asked for from `start` (to
    // `askedLast`, -1: to the end).
    Connect AcceptReply(std::int64_t start, std::int64_t askedLast);
    // The next read's length at `position`, which a split can no longer take.
    DWORD NextReadLength(std::int64_t position);
    // One chunk, with the tries a read that returns nothing deserves.
    Read ReadChunk(DWORD want, DWORD& read);
    bool Store(std::int64_t position, DWORD count);
    bool Verify();
    // The file's deadline: the caller's, or one for `bytes` from now.
    void SetDeadline(std::int64_t bytes) {
        pace_.SetDeadline(job_.deadline != 0 ? job_.deadline : ::GetTickCount64() + FileDeadlineMs(Limits(), bytes));
    }
    // A paced read, with a log line when the reply is given up.
    PacedRead ReadSome(DWORD want, DWORD& read);
    bool ReadLengthFromResponse(DWORD status);
    bool ReplyMatches(DWORD status, std::int64_t start, std::int64_t askedLast);
    bool DiscardLeadingBytes(std::int32_t count);
    bool StreamToEnd();
    bool Fail();
    void Report(std::int64_t count, std::int32_t block);
    // Tells the share how far the open reply reaches (a split leaves that).
    void NoteAsked() {
        if (job_.share != nullptr)
            job_.share->Ask(static_cast<std::int32_t>(std::min<std::int64_t>(replyEnd_, INT32_MAX)));
    }
    [[nodiscard]] std::int32_t BlockOf(std::int64_t position) const {
        return job_.blockSize > 0 ? static_cast<std::int32_t>(position / job_.blockSize) : job_.reportIndex;
    }
    [[nodiscard]] bool Stopped() { return table_.Get(value_kind::kStopFlag, job_.jobId) != 0; }
    [[nodiscard]] HINTERNET Session() const { return job_.session != nullptr ? job_.session : root_.get(); }
    void CloseHandles() {
        request_.reset();
        root_.reset();
    }

    PartJob& job_;
    HANDLE sink_;
    ThreadValueTable& table_;
    UniqueInternet root_;
    HttpRequest request_;
    std::int64_t received_ = 0;
    int attempts_ = 0;
    std::int32_t expected_;
    std::int32_t remaining_;
    bool lengthUnknown_ = false;
    // The offset after the last byte the open reply holds: a part reads no
    // further on it, so the reply is always read to its end before it is
    // closed (WinINet would read the rest itself, a kilobyte at a time).
    std::int64_t replyEnd_ = INT64_MAX;
    const bool streamToEnd_ = job_.length == 0;  // one stream: the whole file
    std::vector<char> ownBuffer_;  // when the caller lends none
    char* buffer_;
    RequestPace pace_;
};

Transfer::Connect Transfer::EnsureConnected() {
    for (;;) {
        const Connect result = ConnectOnce();
        if (result != Connect::Retry) return result;
        CloseHandles();
        ::Sleep(10);
    }
}

Transfer::Connect Transfer::ConnectOnce() {
    if (++attempts_ > Process().run.connectTryCount) return Connect::Fail;
    if (pace_.Note(0, ::GetTickCount64()) == Pace::Expired) {
        WriteLog(Format(L"No time left for %s", job_.url));
        return Connect::Fail;
    }
    const std::int64_t start = job_.offset + received_;
    // A part asks for its own block only: WinINet reads what is left of a
    // body when its handle is closed, so an open-ended range would make
    // every part pay for the rest of the file. The one stream reads to the
    // end anyway.
    std::wstring header;
    std::int64_t askedLast = -1;  // -1: to the end of the file
    if (job_.share != nullptr) expected_ = job_.share->End() - job_.offset;
    if (expected_ > 0 && !streamToEnd_) {
        askedLast = static_cast<std::int64_t>(job_.offset) + expected_ - 1;
        // A part that others may take a share of asks for a span at a time.
        if (job_.share != nullptr) askedLast = std::min<std::int64_t>(askedLast, start + kRequestSpan - 1);
        header = Format(L"Range:bytes=%ld-%ld", start, askedLast);
    } else if (start > 0) {
        header = Format(L"Range:bytes=%ld-", start);
    }
    CloseHandles();
    if (job_.session == nullptr) {
        root_ = OpenDownloadAgent();
        if (!root_) return job_.failFast ? Connect::Fail : Connect::Retry;
    }
    OpenUrlError error = OpenUrlError::None;
    request_ = OpenUrl(Session(), job_.url, header, kPartFlags, &error);
    // A redirect loop or a redirect away from http is the same on every try.
    if (!request_) return job_.failFast || error != OpenUrlError::Failed ? Connect::Fail : Connect::Retry;
    return AcceptReply(start, askedLast);
}

Transfer::Connect Transfer::AcceptReply(std::int64_t start, std::int64_t askedLast) {
    const DWORD status = QueryStatusCode(request_.get());
    pace_.Restart(::GetTickCount64());
    if (remaining_ < 1 && !lengthUnknown_) {
        // One stream: the response itself tells the length.
        if (!IsContentStatus(status)) {
            WriteLog(Format(L"HTTP status %u for %s", static_cast<unsigned>(status), job_.url));
            return Connect::Fail;
        }
        if (!ReadLengthFromResponse(status)) return Connect::Fail;
        if (expected_ < 1 && !lengthUnknown_) return Connect::EmptyFile;
        return Connect::Ready;
    }
    // An error page is never file content: count it as a failed attempt.
    if (!IsContentStatus(status)) {
        WriteLog(Format(L"HTTP status %u for %s", static_cast<unsigned>(status), job_.url));
        return job_.failFast ? Connect::Fail : Connect::Retry;
    }
    if (!ReplyMatches(status, start, askedLast)) return Connect::Fail;
    replyEnd_ = status == HTTP_STATUS_PARTIAL_CONTENT && askedLast >= 0 ? askedLast + 1 : INT64_MAX;
    NoteAsked();
    // A server that ignores the range sends the file from its start.
    if (start > 0 && status != HTTP_STATUS_PARTIAL_CONTENT &&
        !DiscardLeadingBytes(static_cast<std::int32_t>(start))) {
        return job_.failFast ? Connect::Fail : Connect::Retry;
    }
    return Connect::Ready;
}

// The bytes that follow must be the ones asked for: a 206 names exactly the
// range from `start` (to `askedLast` at least) of a file of the known size;
// a 200 (a server that ignores ranges) is the whole file of that size.
// Anything else is another file or another piece of it, which no retry
// mends.
bool Transfer::ReplyMatches(DWORD status, std::int64_t start, std::int64_t askedLast) {
    const std::int64_t size = job_.fileSize;
    if (status == HTTP_STATUS_PARTIAL_CONTENT) {
        const std::wstring text = QueryHeader(request_.get(), HTTP_QUERY_CONTENT_RANGE);
        const ContentRange range = ParseContentRange(text);
        const std::int64_t wantedLast = askedLast >= 0 ? askedLast : size - 1;
        if (range.valid && range.first == start && range.last >= wantedLast && range.total == size) return true;
        WriteLog(Format(L"Reply range \"%s\" is not bytes %ld-%ld/%ld of %s", text, start, wantedLast, size, job_.url));
        return false;
    }
    const std::int64_t length = QueryContentLength(request_.get());
    if (length < 0 || length == size) return true;
    WriteLog(Format(L"Reply of %ld bytes for a file of %ld: %s", length, size, job_.url));
    return false;
}

bool Transfer::ReadLengthFromResponse(DWORD status) {
    std::int64_t length = QueryContentLength(request_.get());
    if (status == HTTP_STATUS_PARTIAL_CONTENT) {
        // Nothing but the whole file answers a request without a range.
        const std::wstring text = QueryHeader(request_.get(), HTTP_QUERY_CONTENT_RANGE);
        const ContentRange range = ParseContentRange(text);
        if (!range.valid || range.first != 0 || range.total < 0 || range.last != range.total - 1 ||
            (length >= 0 && length != range.total)) {
            WriteLog(Format(L"Reply range \"%s\" is not the whole file: %s", text, job_.url));
            return false;
        }
        length = range.total;
    }
    if (length > INT32_MAX) {
        WriteLog(Format(L"File too large (2 GiB or more) for this downloader: %s", job_.url));
        return false;
    }
    if (length > job_.maxBytes) {
        WriteLog(Format(L"Reply of %ld bytes is over the limit of %ld: %s", length, job_.maxBytes, job_.url));
        return false;
    }
    NoteServerKind(request_.get());
    if (length < 0) {
        // No Content-Length: the body runs to the end of the connection.
        lengthUnknown_ = true;
        SendProgress(job_.window, msg::kFileSize, job_.word, 0);
        SendProgress(job_.window, msg::kBlockSize, job_.word, 0);
        SendProgress(job_.window, msg::kFileStarted, job_.word, 1);
        return true;
    }
    expected_ = remaining_ = static_cast<std::int32_t>(length);
    SetDeadline(length);
    SendProgress(job_.window, msg::kFileSize, job_.word, expected_);
    SendProgress(job_.window, msg::kBlockSize, job_.word, expected_);
    SendProgress(job_.window, msg::kFileStarted, job_.word, 1);
    if (expected_ > 0) job_.fileSize = expected_;
    return true;
}

bool Transfer::DiscardLeadingBytes(std::int32_t count) {
    while (count > 0) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::int32_t>(count, kTransferBlock));
        if (ReadSome(want, read) != PacedRead::Read || read == 0) return false;
        count -= static_cast<std::int32_t>(read);
    }
    return true;
}

bool Transfer::StreamToEnd() {
    // Nothing tells how much is coming: a body that does not end by the
    // limit is not a file this engine takes.
    const std::int64_t most = std::min(job_.maxBytes, Limits().unsizedBytes);
    for (;;) {
        if (Stopped()) return Fail();
        DWORD read = 0;
        // A transport error (a reset, a time-out) is not the end of the body.
        const PacedRead outcome = ReadSome(kTransferBlock, read);
        if (outcome == PacedRead::Failed)
            WriteLog(Format(L"Connection lost after %ld bytes of %s", received_, job_.url));
        if (outcome != PacedRead::Read) return Fail();
        if (read == 0) break;
        if (received_ + read > most) {
            WriteLog(Format(L"Reply without a length is over the limit of %ld bytes: %s", most, job_.url));
            return Fail();
        }
        if (!WriteAll(sink_, buffer_, read)) return Fail();
        received_ += read;
        Report(read, job_.reportIndex);
    }
    CloseHandles();
    return true;
}

void Transfer::Report(std::int64_t count, std::int32_t block) {
    std::unique_lock<std::mutex> lock;
    if (job_.progressLock != nullptr) lock = std::unique_lock(*job_.progressLock);
    const std::int64_t high = job_.fileSize > 0 ? job_.fileSize : INT32_MAX;
    const std::int32_t total = table_.AddClamped(value_kind::kReceived, job_.jobId, count, 0, high);
    SendProgress(job_.window, msg::kFileProgress, job_.word, total);
    Process().notifications.SendByteProgress(job_.fileSize, total);
    const std::int32_t part = table_.AddClamped(value_kind::kPartBase | static_cast<std::uint32_t>(block),
                                                job_.jobId, count, 0, high);
    const auto partWord = (static_cast<std::uint32_t>(block) << 16) | (static_cast<std::uint32_t>(job_.word) & 0xFFFF);
    SendProgress(job_.window, msg::kPartProgress, partWord, part);
}

bool Transfer::Fail() {
    table_.Set(value_kind::kStopFlag, job_.jobId, kStopValue);
    // Every block this part wrote into gets its bytes taken back.
    if (job_.blockSize > 0) {
        const std::int64_t end = static_cast<std::int64_t>(job_.offset) + received_;
        for (std::int64_t from = job_.offset; from < end;) {
            const std::int32_t block = BlockOf(from);
            const std::int64_t next = std::min(end, (static_cast<std::int64_t>(block) + 1) * job_.blockSize);
            Report(-(next - from), block);
            from = next;
        }
    } else {
        Report(-received_, job_.reportIndex);
    }
    CloseHandles();
    return false;
}

bool Transfer::Run() {
    if (request_ && streamToEnd_) {
        // The reply in hand (the first request's) is the whole file.
        switch (AcceptReply(0, -1)) {
            case Connect::Ready: break;
            case Connect::Retry: CloseHandles(); break;
            case Connect::Fail: return Fail();
            case Connect::EmptyFile: CloseHandles(); return true;
        }
        if (request_ && lengthUnknown_) return StreamToEnd();
    }
    for (;;) {
        if (!request_ || Session() == nullptr) {
            switch (EnsureConnected()) {
                case Connect::Ready:
                case Connect::Retry: break;
                case Connect::Fail: return Fail();
                case Connect::EmptyFile: CloseHandles(); return true;
            }
            if (lengthUnknown_) return StreamToEnd();
        }
        if (job_.share != nullptr) {
            expected_ = job_.share->End() - job_.offset;
            remaining_ = static_cast<std::int32_t>(expected_ - received_);
        }
        if (Stopped() || remaining_ <= 0) break;
        const std::int64_t position = static_cast<std::int64_t>(job_.offset) + received_;
        if (position >= replyEnd_) {
            // The reply is read to its end: ask for the rest of the block.
            CloseHandles();
            replyEnd_ = INT64_MAX;
            continue;
        }
        DWORD read = 0;
        switch (ReadChunk(NextReadLength(position), read)) {
            case Read::Accepted: break;
            case Read::Dropped: continue;  // connect again where the part stands
            case Read::Failed: return Fail();
        }
        if (!Store(position, read)) return Fail();
    }
    return Verify();
}

DWORD Transfer::NextReadLength(std::int64_t position) {
    std::int64_t most = std::min<std::int64_t>({remaining_, kTransferBlock, replyEnd_ - position});
    // No read crosses from one block into the next.
    if (job_.blockSize > 0)
        most = std::min(most, (static_cast<std::int64_t>(BlockOf(position)) + 1) * job_.blockSize - position);
    auto want = static_cast<DWORD>(most);
    if (job_.share != nullptr) {
        want = static_cast<DWORD>(
            job_.share->Reserve(static_cast<std::int32_t>(position), static_cast<std::int32_t>(want)));
    }
    return want;
}

// A read counts when it fills the request or ends the part; a short read in
// between means the server lost bytes, and the file fails. A read that
// returns nothing is tried again, and on the last try the connection is
// given up (Dropped: the caller connects again).
Transfer::Read Transfer::ReadChunk(DWORD want, DWORD& read) {
    for (int attempt = 1; attempt <= kReadTries; ++attempt) {
        read = 0;
        switch (ReadSome(want, read)) {
            case PacedRead::Read:
                break;
            case PacedRead::Expired:
                return Read::Failed;
            // A transport error (a reset, a time-out) or a reply below the
            // lowest speed ends this connection: reading it again only waits
            // once more.
            case PacedRead::Failed:
            case PacedRead::TooSlow:
                if (job_.failFast) return Read::Failed;
                CloseHandles();
                return Read::Dropped;
        }
        if (read == want) {
            attempts_ = 0;
            return Read::Accepted;
        }
        if (read > 0) {
            WriteLog(
                Format(L"Short read of %u bytes in part %d of %s", static_cast<unsigned>(read), job_.index, job_.url));
            return Read::Failed;
        }
        if (job_.failFast) return Read::Failed;
        if (attempt == kReadTries) {
            CloseHandles();
            return Read::Dropped;
        }
    }
    return Read::Failed;
}

PacedRead Transfer::ReadSome(DWORD want, DWORD& read) {
    const PacedRead outcome = ReadPaced(request_.get(), buffer_, want, read, pace_);
    if (outcome == PacedRead::TooSlow) {
        WriteLog(Format(L"Reply below %ld bytes/s for %ld ms: %s", Limits().lowSpeedBytesPerSecond,
                        static_cast<std::int64_t>(Limits().lowSpeedWindowMs), job_.url));
    } else if (outcome == PacedRead::Expired) {
        WriteLog(Format(L"No time left for %s", job_.url));
    }
    return outcome;
}

bool Transfer::Store(std::int64_t position, DWORD count) {
    const bool written = job_.atOffset ? WriteAt(sink_, position, buffer_, count) : WriteAll(sink_, buffer_, count);
    if (!written) {
        WriteLog(Format(L"Cannot write the part file of %s", job_.url));
        return false;
    }
    received_ += count;
    if (job_.share != nullptr) job_.share->Advance(static_cast<std::int32_t>(job_.offset + received_));
    Report(count, BlockOf(position));
    remaining_ -= static_cast<std::int32_t>(count);
    return true;
}

// The sink must hold exactly the block (written at its offset: every byte
// of it was received and written). A part that ends after another part
// failed the file takes its bytes back too, whole or not.
bool Transfer::Verify() {
    if (Stopped()) return Fail();
    if (job_.share != nullptr) expected_ = job_.share->End() - job_.offset;
    const std::int64_t held = job_.atOffset ? received_ : SinkLength(sink_);
    if (expected_ != 0 && held == expected_) {
        CloseHandles();
        return true;
    }
    return Fail();
}

}  // namespace

std::int32_t PartShare::End() {
    std::lock_guard lock(mutex_);
    return end_;
}

std::int32_t PartShare::Position() {
    std::lock_guard lock(mutex_);
    return position_;
}

std::int32_t PartShare::Reserve(std::int32_t position, std::int32_t most) {
    std::lock_guard lock(mutex_);
    const std::int32_t length = std::max(std::min(most, end_ - position), 0);
    reserved_ = std::max(reserved_, position + length);
    return length;
}

void PartShare::Advance(std::int32_t position) {
    std::lock_guard lock(mutex_);
    position_ = position;
}

void PartShare::Ask(std::int32_t end) {
    std::lock_guard lock(mutex_);
    asked_ = end;
}

std::pair<std::int32_t, std::int32_t> PartShare::SplitOff(std::int32_t minimumPiece) {
    std::lock_guard lock(mutex_);
    const std::int32_t from = std::max(position_, reserved_);
    const std::int32_t rest = end_ - from;
    if (rest < 2 * minimumPiece) return {-1, -1};
    const std::int32_t split = std::max(from + rest / 2, asked_);
    if (end_ - split < minimumPiece) return {-1, -1};
    const std::int32_t oldEnd = end_;
    end_ = split;
    return {split, oldEnd};
}

bool TransferPart(PartJob& job, HANDLE sink) {
    Transfer transfer(job, sink);
    return transfer.Run();
}

void SendProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr) ::SendMessageW(window, message, wParam, lParam);
}

UniqueInternet OpenDownloadAgent() {
    return OpenInternet(Format(L"down%d", ++Process().Shared<AgentCounters>().parts));
}

void NoteServerKind(HINTERNET request) {
    std::atomic<bool>& seen = Process().run.ownServerKindSeen;
    if (seen.load()) return;
    if (QueryHeader(request, HTTP_QUERY_SERVER) == L"mirefold2.xx") seen.store(true);
}

}  // namespace mf
