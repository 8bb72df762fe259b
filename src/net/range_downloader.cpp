#include "net/range_downloader.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "base/handles.h"
#include "base/messages.h"
#include "base/text_format.h"
#include "engine/paths.h"
#include "engine/process_state.h"
#include "net/block_plan.h"
#include "net/internet.h"
#include "net/net_limits.h"
#include "net/part_transfer.h"
#include "net/scratch_file.h"
#include "net/thread_value_table.h"
#include "net/url_text.h"

namespace mf {
namespace {

// QuerySize's answer for a size this downloader will not take (2 GiB or
// more, over the caller's limit, a redirect loop): no retry helps.
constexpr std::int32_t kSizeRefused = -2;
// QuerySize's answer for a range reply that names no complete length: the
// file is fetched in one stream instead, its length taken from that reply.
constexpr std::int32_t kSizeNoTotal = -3;
// QuerySize's answer when the server says the file is not there (404). The
// passes follow each other without a pause, so they help against a lost
// connection, never against the server's own answer: the file is asked for
// once more only in its escaped form.
constexpr std::int32_t kSizeNotFound = -4;
}  // namespace

namespace {

struct ServerKind {
    std::atomic<bool> mirefoldServerSeen{false};
};

}  // namespace

std::atomic<bool>& MirefoldServerSeen() { return Process().Shared<ServerKind>().mirefoldServerSeen; }

CRangeDownloader::CRangeDownloader()
    : jobId_(ThreadValueTable::Instance().Add(value_kind::kJobCounter, 0, 1)),
      partEnded_(std::make_shared<UniqueHandle>(::CreateEventW(nullptr, FALSE, FALSE, nullptr))) {}

CRangeDownloader::~CRangeDownloader() = default;

std::int32_t CRangeDownloader::QuerySize(const std::wstring& url) {
    // Inside a download, through its session (whose connection the parts
    // then reuse); on its own, through a root handle of its own.
    UniqueInternet own;
    HINTERNET root = session_.get();
    if (root == nullptr) {
        own = OpenInternet(Format(L"querysize%d", NextQueryAgentNumber()));
        if (!own) return -1;
        root = own.get();
    }
    // The smallest block is asked for, never the whole file: WinINet reads
    // the rest of an unfinished body when its handle is closed, which for a
    // large file costs longer than the download itself. Inside a download
    // the reply is then read as the start of the first part, so a file of
    // one block takes one request. A server that ignores the range answers
    // 200 with the whole length, which serves as well.
    OpenUrlError error = OpenUrlError::None;
    HttpRequest request = OpenUrl(root, url, Format(L"Range:bytes=0-%d", kMinimumBlockSize - 1), kPartFlags, &error);
    if (!request) return error == OpenUrlError::Failed ? -1 : kSizeRefused;
    const DWORD status = QueryStatusCode(request.get());
    if (status == HTTP_STATUS_NOT_FOUND) return kSizeNotFound;
    if (!IsContentStatus(status)) return -1;
    NoteServerKind(request.get());
    std::int64_t length = -1;
    if (status == HTTP_STATUS_PARTIAL_CONTENT) {
        // The Content-Length of a range reply is the length of the range
        // (at most 51200 here): only the complete length after the "/" is the size.
        const ContentRange reply = ParseContentRange(QueryHeader(request.get(), HTTP_QUERY_CONTENT_RANGE));
        if (!reply.valid || reply.total < 0) {
            WriteLog(Format(L"No complete length in the range reply for %s: fetching it in one stream", url));
            return kSizeNoTotal;
        }
        length = reply.total;
        // Kept for the first part only when it is exactly the bytes asked
        // for: anything else is closed and asked for again by the parts.
        const std::int64_t lastAsked = std::min<std::int64_t>(kMinimumBlockSize, length) - 1;
        if (reply.first == 0 && reply.last == lastAsked && length <= INT32_MAX && length <= maxBytes_ &&
            QueryContentLength(request.get()) == lastAsked + 1) {
            firstReply_ = std::move(request);
            firstReplyEnd_ = static_cast<std::int32_t>(lastAsked + 1);
        }
    } else {
        length = QueryContentLength(request.get());
    }
    if (length > INT32_MAX) {
        WriteLog(Format(L"File too large (2 GiB or more) for this downloader: %s", url));
        return kSizeRefused;
    }
    if (length > maxBytes_) {
        WriteLog(Format(L"File of %ld bytes is over the limit of %ld: %s", length, maxBytes_, url));
        return kSizeRefused;
    }
    if (length < 0) {
        WriteLog(Format(L"No Content-Length in the reply for %s", url));
        return -1;
    }
    return static_cast<std::int32_t>(length);
}

std::int32_t CRangeDownloader::QuerySizeWithRetries() {
    const int passes = std::max(Process().run.connectTryCount, 1);
    for (int pass = 0; pass < passes; ++pass) {
        const std::int32_t size = QuerySize(url_);
        if (size >= 0 || size == kSizeRefused || size == kSizeNoTotal) return size;
        // Some servers want the name escaped; from then on use that form.
        const std::wstring encoded = EncodeUrlText(url_);
        if (encoded == url_) {
            if (size == kSizeNotFound) return -1;
            continue;
        }
        const std::int32_t encodedSize = QuerySize(encoded);
        if (encodedSize == kSizeRefused) return encodedSize;
        if (encodedSize >= 0 || encodedSize == kSizeNoTotal) {
            url_ = encoded;
            return encodedSize;
        }
        if (size == kSizeNotFound && encodedSize == kSizeNotFound) return -1;
    }
    return -1;
}

int CRangeDownloader::Download(const std::wstring& url, const std::wstring& target, bool failFast, int word,
                               HWND window) {
    url_ = url;
    if (threadCount_ < 2 || failFast) return DownloadOneStream(target, failFast, word, window);
    target_ = target;
    return DownloadInParts(word, window);
}

int CRangeDownloader::DownloadOneStream(const std::wstring& target, bool failFast, int word, HWND window) {
    PartJob job;
    job.url = url_;
    job.length = fileSize_;
    job.jobId = jobId_;
    job.fileSize = fileSize_;
    job.failFast = failFast;
    job.word = word;
    job.window = window;
    job.maxBytes = maxBytes_;
    bool ok = false;
    {
        ScratchFile file = ScratchFile::Create(target);
        if (!file) {
            WriteLog(Format(L"Cannot create %s", target));
            return 0;
        }
        ok = TransferPart(job, file.get()) && file.Keep();
    }
    fileSize_ = job.fileSize;
    if (!ok) DeleteFileForce(target);
    return ok ? 1 : 0;
}

// One part of the file as the downloader tracks it: the block it reports
// under, and the range it shares with the worker that fetches it.
struct CRangeDownloader::Slot {
    Slot(std::int32_t fileIndex, std::int32_t block, std::int32_t offset, std::int32_t end)
        : index(fileIndex), reportIndex(block), share(offset, end) {}
    std::int32_t index;
    std::int32_t reportIndex;
    PartShare share;
    HttpRequest reply;  // the size query's reply, for the first part
    std::int32_t replyEnd = 0;
    ULONGLONG started = 0;  // when a worker took it up; 0 while queued
};

// The part workers of the process, shared by every download: a worker
// fetches part after part, of whichever download, and waits when there is
// none. Under Wine a thread costs a few dozen server calls and fresh stack
// pages to start, which for small files was more than their parts' transfer.
// Each download keeps to its own thread count; the pool holds as many
// workers as parts ever ran at once.
class PartWorkerPool {
public:
    using Task = std::function<void(char* buffer)>;

    PartWorkerPool() = default;
    PartWorkerPool(const PartWorkerPool&) = delete;
    PartWorkerPool& operator=(const PartWorkerPool&) = delete;
    // Idle workers end; busy ones end after their part. Nothing waits for
    // them: a part of an abandoned download may take until its time-out,
    // and the end of the process must not wait for that.
    ~PartWorkerPool() {
        std::lock_guard lock(state_->mutex);
        state_->closing = true;
        ::ReleaseSemaphore(state_->wake.get(), state_->workers + 1, nullptr);
    }

    // False when no worker is there to run it and none can be started.
    bool Submit(Task task) {
        State& state = *state_;
        std::lock_guard lock(state.mutex);
        state.queue.push_back(std::move(task));
        if (state.idle > 0) {
            --state.idle;
            ::ReleaseSemaphore(state.wake.get(), 1, nullptr);
            return true;
        }
        auto owner = std::make_unique<std::shared_ptr<State>>(state_);
        UniqueHandle thread(::CreateThread(nullptr, 0, Run, owner.get(), 0, nullptr));
        if (thread) {
            (void)owner.release();
            ++state.workers;
            return true;
        }
        // A busy worker takes it up when it is done.
        if (state.workers > 0) return true;
        state.queue.pop_back();
        return false;
    }

private:
    // Shared with the workers, which may outlive the pool.
    struct State {
        std::mutex mutex;
        std::deque<Task> queue;
        LONG idle = 0;
        LONG workers = 0;
        bool closing = false;
        UniqueHandle wake{::CreateSemaphoreW(nullptr, 0, 0x7FFFFFFF, nullptr)};
    };

    static DWORD WINAPI Run(void* parameter) {
        const std::shared_ptr<State> state =
            *std::unique_ptr<std::shared_ptr<State>>(static_cast<std::shared_ptr<State>*>(parameter));
        std::vector<char> buffer;
        try {
            buffer.resize(kTransferBlock);
        } catch (...) {
        }
        std::unique_lock lock(state->mutex);
        for (;;) {
            if (!state->queue.empty() && !state->closing) {
                Task task = std::move(state->queue.front());
                state->queue.pop_front();
                lock.unlock();
                task(buffer.empty() ? nullptr : buffer.data());
                task = nullptr;
                lock.lock();
                continue;
            }
            if (state->closing) {
                --state->workers;
                return 0;
            }
            ++state->idle;
            lock.unlock();
            ::WaitForSingleObject(state->wake.get(), INFINITE);
            lock.lock();
        }
    }

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

bool CRangeDownloader::QueuePart(Slot& slot) {
    ThreadValueTable& table = ThreadValueTable::Instance();
    // Counted before it is handed on, so that the watch never sees zero
    // while a part is still about to start.
    table.Add(value_kind::kRunning, jobId_, 1);
    Slot* part = &slot;
    std::shared_ptr<UniqueHandle> ended = partEnded_;
    const bool queued = Process().Shared<PartWorkerPool>().Submit([this, part, ended](char* buffer) {
        ThreadValueTable& values = ThreadValueTable::Instance();
        const std::int32_t job = jobId_;
        try {
            PartJob transfer;
            {
                std::lock_guard lock(slotsMutex_);
                part->started = ::GetTickCount64();
            }
            transfer.url = url_;
            transfer.index = part->index;
            transfer.reportIndex = part->reportIndex;
            transfer.blockSize = blockSize_;
            transfer.offset = part->share.offset();
            transfer.length = part->share.End() - part->share.offset();
            transfer.jobId = job;
            transfer.fileSize = fileSize_;
            transfer.word = word_;
            transfer.window = window_;
            transfer.share = &part->share;
            transfer.session = session_.get();
            transfer.atOffset = true;
            transfer.buffer = buffer;
            transfer.reply = &part->reply;
            transfer.replyEnd = part->replyEnd;
            (void)TransferPart(transfer, file_.get());
            part->reply.reset();
        } catch (...) {
            values.Set(value_kind::kStopFlag, job, kStopValue);
        }
        // The downloader may be gone once the count drops: nothing of it is
        // touched after this.
        values.Add(value_kind::kRunning, job, -1);
        ::SetEvent(ended->get());
    });
    if (queued) return true;
    WriteLog(Format(L"Cannot start a thread for part %d of %s", slot.index, url_));
    table.Add(value_kind::kRunning, jobId_, -1);
    table.Set(value_kind::kStopFlag, jobId_, kStopValue);
    return false;
}

// When the planned parts are all under way and a connection is idle, the
// slowest part hands the far half of its rest to a new part: against a
// server that limits each connection this keeps every connection busy to
// the end. Parts that will be done soon are left alone.
bool CRangeDownloader::SplitSlowestPart() {
    constexpr std::int32_t kMinimumPiece = 512 * 1024;
    constexpr double kWorthSeconds = 0.25;
    Slot* victim = nullptr;
    double longest = kWorthSeconds;
    const ULONGLONG now = ::GetTickCount64();
    for (const std::unique_ptr<Slot>& slot : slots_) {
        ULONGLONG started = 0;
        {
            std::lock_guard lock(slotsMutex_);
            started = slot->started;
        }
        const std::int32_t position = slot->share.Position();
        const std::int32_t rest = slot->share.End() - position;
        const ULONGLONG elapsed = now - started;
        if (started == 0 || rest < 2 * kMinimumPiece || elapsed < 100) continue;
        const double done = static_cast<double>(position - slot->share.offset());
        const double seconds = done > 0 ? rest * (static_cast<double>(elapsed) / 1000.0) / done : 1e9;
        if (seconds > longest) {
            longest = seconds;
            victim = slot.get();
        }
    }
    if (victim == nullptr) return false;
    const auto [from, to] = victim->share.SplitOff(kMinimumPiece);
    if (from < 0) return false;
    const auto index = static_cast<std::int32_t>(slots_.size());
    slots_.push_back(std::make_unique<Slot>(index, victim->reportIndex, from, to));
    ++splitCount_;
    return QueuePart(*slots_.back());
}

void CRangeDownloader::WaitTick(DWORD milliseconds) { ::WaitForSingleObject(partEnded_->get(), milliseconds); }

int CRangeDownloader::DownloadInParts(int word, HWND window) {
    ThreadValueTable& table = ThreadValueTable::Instance();
    // One session for the size query and all parts: their connections are
    // kept alive and reused from one request to the next.
    session_ = OpenInternet(Format(L"down%d", NextPartAgentNumber()));
    if (!session_) {
        DeleteFileForce(target_);
        return 0;
    }
    const std::int32_t size = QuerySizeWithRetries();
    if (size < 1) {
        firstReply_.reset();
        session_.reset();
    }
    if (size == kSizeNoTotal) return DownloadOneStream(target_, false, word, window);
    // An empty file has no ranges to cut; one plain request fetches it (its
    // length 0 read from the reply), so that a release holding an empty file
    // can be downloaded at all.
    if (size == 0) return DownloadOneStream(target_, false, word, window);
    if (size < 1) {
        WriteLog(Format(L"No size for %s", url_));
        DeleteFileForce(target_);
        return 0;
    }
    fileSize_ = size;
    const BlockPlan plan = PlanBlocks(size, threadCount_);
    blockSize_ = plan.blockSize;
    partCount_ = plan.partCount;
    SendProgress(window, msg::kFileSize, word, size);
    SendProgress(window, msg::kBlockSize, word, plan.blockSize);

    // Every block is written at its place in one file of the final size,
    // beside the target; it takes the target's name only once complete.
    // Removed by the system when the downloader lets go of it, whatever
    // became of the download (or of the process).
    const std::wstring temporary = target_ + L".part";
    file_ = ScratchFile::Create(temporary);
    LARGE_INTEGER end{};
    end.QuadPart = size;
    if (!file_ || !::SetFilePointerEx(file_.get(), end, nullptr, FILE_BEGIN) || !::SetEndOfFile(file_.get())) {
        WriteLog(Format(L"Cannot create %s", temporary));
        file_ = ScratchFile();
        firstReply_.reset();
        session_.reset();
        DeleteFileForce(target_);
        return 0;
    }
    word_ = word;
    window_ = window;

    // The first count seen is always sent, so that a window learns that
    // parts ran even when they all end before the loop looks again.
    std::int32_t lastSent = -1;
    auto sendRunning = [&](std::int32_t running) {
        if (running == lastSent) return;
        lastSent = running;
        SendProgress(window, msg::kFileStarted, word, running);
    };
    slots_.clear();
    bool stopped = false;
    // Consecutive blocks go to one connection as one range: a file takes as
    // many requests as connections, not as blocks (under Wine a request
    // costs about as much as reading a quarter of a megabyte). Each block
    // still reports under its own index, and a connection left idle takes
    // over the far half of the slowest range, as before.
    const std::int32_t runs = std::min(plan.partCount, std::max(threadCount_, 1));
    for (std::int32_t i = 0; i < runs && !stopped; ++i) {
        const std::int32_t first = static_cast<std::int32_t>(static_cast<std::int64_t>(i) * plan.partCount / runs);
        const std::int32_t last =
            static_cast<std::int32_t>(static_cast<std::int64_t>(i + 1) * plan.partCount / runs) - 1;
        const BlockRange from = PartRange(plan, size, first);
        const BlockRange to = PartRange(plan, size, last);
        slots_.push_back(std::make_unique<Slot>(i, first, from.offset, to.offset + to.length));
        if (i == 0 && firstReply_) {
            slots_.back()->reply = std::move(firstReply_);
            slots_.back()->replyEnd = firstReplyEnd_;
        }
        (void)QueuePart(*slots_.back());
        if (table.Get(value_kind::kStopFlag, jobId_) != 0) break;
        // The thread count is a limit: the next part starts when one ends.
        // (The count includes a part as soon as it is queued, so there is
        // nothing to wait for below the limit.)
        while (i + 1 < runs && table.Get(value_kind::kRunning, jobId_) >= threadCount_) WaitTick(10);
        sendRunning(table.Get(value_kind::kRunning, jobId_));
    }

    for (;;) {
        stopped = stopped || table.Get(value_kind::kStopFlag, jobId_) != 0;
        std::int32_t running = table.Get(value_kind::kRunning, jobId_);
        if (running < 1) break;
        while (!stopped && running < threadCount_ && SplitSlowestPart()) ++running;
        sendRunning(running);
        WaitTick(50);
    }
    firstReply_.reset();
    session_.reset();
    stopped = stopped || table.Get(value_kind::kStopFlag, jobId_) != 0;

    // Every part verified its own block; together they cover the file.
    std::int64_t covered = 0;
    for (const std::unique_ptr<Slot>& slot : slots_) covered += slot->share.End() - slot->share.offset();
    slots_.clear();
    bool done = !stopped && covered == size && file_.Keep();
    file_.Close();
    if (done) {
        ::SetFileAttributesW(target_.c_str(), FILE_ATTRIBUTE_NORMAL);
        done = ::MoveFileExW(temporary.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
        if (!done) {
            WriteLog(Format(L"Cannot move %s to %s", temporary, target_));
            DeleteFileForce(temporary);
        }
    }
    file_ = ScratchFile();
    ::SetFileAttributesW(target_.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (done) {
        SendProgress(window, msg::kFileProgress, word, size);
        return 1;
    }
    if (!stopped)
        WriteLog(Format(L"Parts cover %ld of %ld bytes for %s", covered, static_cast<std::int64_t>(size), url_));
    DeleteFileForce(target_);
    return 0;
}

int DownloadFile(const std::wstring& url, const std::wstring& target, bool failFast, int word, HWND window,
                 int threadCount, std::int64_t maxBytes) {
    CRangeDownloader downloader;
    downloader.SetThreadCount(std::max(threadCount, 1));
    downloader.SetMaxBytes(maxBytes);
    if (downloader.Download(url, target, failFast, word, window) != 1) {
        DeleteFileForce(target);
        return 1;
    }
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return 0;
}

}  // namespace mf
