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
#include "net/request_pace.h"
#include "net/scratch_file.h"
#include "net/thread_value_table.h"
#include "net/url_text.h"

namespace mf {
namespace {

// The first request's answer for a size this downloader will not take (2 GiB
// or more, over the caller's limit, a redirect loop): no retry helps.
constexpr std::int32_t kSizeRefused = -2;
// The first request's answer for a range reply that names no complete
// length: the file is fetched in one stream instead, by a request without a
// range.
constexpr std::int32_t kSizeNoTotal = -3;
// The first request's answer when the server says the file is not there
// (404 or 410). The passes follow each other without a pause, so they help
// against a lost connection, never against the server's own answer: the
// file is asked for once more only in its escaped form.
constexpr std::int32_t kSizeNotFound = -4;
// The answer when the server ignored the range and sent the whole file
// (a 200): that reply is read as the one stream.
constexpr std::int32_t kSizeWholeReply = -5;
}  // namespace

CRangeDownloader::CRangeDownloader()
    : jobId_(ThreadValueTable::Instance().Add(value_kind::kJobCounter, 0, 1)),
      progressLock_(std::make_shared<std::mutex>()),
      partEnded_(std::make_shared<UniqueHandle>(::CreateEventW(nullptr, FALSE, FALSE, nullptr))) {}

CRangeDownloader::~CRangeDownloader() = default;

bool CRangeDownloader::OpenSession() {
    if (SharedRoot() != nullptr) return true;
    ownSession_ = OpenDownloadAgent();
    return static_cast<bool>(ownSession_);
}

std::int32_t CRangeDownloader::AskFirstBytesOnce(const std::wstring& url) {
    // The file's first bytes, never the whole file: WinINet reads the rest
    // of an unfinished body when its handle is closed, which for a large
    // file costs longer than the download itself. The reply is read as the
    // start of the first part, so a file of up to kRequestSpan bytes takes
    // this one request.
    OpenUrlError error = OpenUrlError::None;
    HttpRequest request = OpenUrl(Session(), url, Format(L"Range:bytes=0-%d", kRequestSpan - 1), kPartFlags, &error);
    if (!request) return error == OpenUrlError::Failed ? -1 : kSizeRefused;
    const DWORD status = QueryStatusCode(request.get());
    // The server's own answer that the file is not there; no retry helps.
    if (status == HTTP_STATUS_NOT_FOUND || status == 410) return kSizeNotFound;
    if (!IsContentStatus(status)) return -1;
    NoteServerKind(request.get());
    if (status == HTTP_STATUS_OK) {
        // The server ignores ranges: this reply is the whole file, with or
        // without a length, and is read as the one stream.
        firstReply_ = std::move(request);
        return kSizeWholeReply;
    }
    // The Content-Length of a range reply is the length of the range: only
    // the complete length after the "/" is the size.
    const ContentRange reply = ParseContentRange(QueryHeader(request.get(), HTTP_QUERY_CONTENT_RANGE));
    if (!reply.valid || reply.total < 0) {
        WriteLog(Format(L"No complete length in the range reply for %s: fetching it in one stream", url));
        return kSizeNoTotal;
    }
    const std::int64_t length = reply.total;
    if (length > INT32_MAX) {
        WriteLog(Format(L"File too large (2 GiB or more) for this downloader: %s", url));
        return kSizeRefused;
    }
    if (length > maxBytes_) {
        WriteLog(Format(L"File of %ld bytes is over the limit of %ld: %s", length, maxBytes_, url));
        return kSizeRefused;
    }
    // Kept for the first part only when it is exactly the bytes asked for:
    // anything else is closed, and the parts ask for every byte.
    const std::int64_t lastAsked = std::min<std::int64_t>(kRequestSpan, length) - 1;
    if (reply.first == 0 && reply.last == lastAsked && QueryContentLength(request.get()) == lastAsked + 1) {
        firstReply_ = std::move(request);
        firstReplyEnd_ = static_cast<std::int32_t>(lastAsked + 1);
    }
    return static_cast<std::int32_t>(length);
}

CRangeDownloader::FirstReply CRangeDownloader::AskFirstBytes() {
    auto answer = [this](std::int32_t size) {
        if (size == kSizeWholeReply) return FirstReply::WholeFile;
        if (size == kSizeNoTotal) return FirstReply::NoTotal;
        if (size < 0) return FirstReply::Failed;
        fileSize_ = size;
        return FirstReply::Sized;
    };
    auto answered = [](std::int32_t size) { return size >= 0 || size == kSizeNoTotal || size == kSizeWholeReply; };
    // Some servers want the name escaped; from then on use that form. A
    // name outside ASCII is asked for escaped first: sent as it is, WinINet
    // turns it into the ANSI code page (a character the code page lacks
    // becomes "?"), which servers do not take for the name, and the
    // unescaped form stays as the fallback for a server that wants those
    // bytes.
    const std::wstring encoded = EncodeUrlText(url_);
    const bool encodedFirst = !IsAsciiText(url_);
    const std::wstring first = encodedFirst ? encoded : url_;
    const std::wstring second = encodedFirst ? url_ : encoded;
    const int passes = std::max(Process().run.connectTryCount, 1);
    for (int pass = 0; pass < passes; ++pass) {
        const std::int32_t size = AskFirstBytesOnce(first);
        if (answered(size) || size == kSizeRefused) {
            url_ = first;
            return answer(size);
        }
        if (second == first) {
            if (size == kSizeNotFound) return FirstReply::Failed;
            continue;
        }
        const std::int32_t secondSize = AskFirstBytesOnce(second);
        if (secondSize == kSizeRefused) return FirstReply::Failed;
        if (answered(secondSize)) {
            url_ = second;
            return answer(secondSize);
        }
        if (size == kSizeNotFound && secondSize == kSizeNotFound) return FirstReply::Failed;
    }
    return FirstReply::Failed;
}

int CRangeDownloader::Download(const std::wstring& url, const std::wstring& target, bool failFast, int word,
                               HWND window) {
    url_ = url;
    target_ = target;
    word_ = word;
    window_ = window;
    started_ = ::GetTickCount64();
    if (threadCount_ >= 2 && !failFast) return DownloadInParts();
    if (IsAsciiText(url_)) return DownloadOneStream(failFast);
    // A name outside ASCII: escaped first, as written second (as the first
    // request of the ranged mode asks for it).
    url_ = EncodeUrlText(url);
    if (DownloadOneStream(failFast) == 1) return 1;
    url_ = url;
    return DownloadOneStream(failFast);
}

PartJob CRangeDownloader::JobFor(std::int32_t index, std::int32_t reportIndex, std::int32_t offset,
                                 std::int32_t length) const {
    PartJob job;
    job.url = url_;
    job.index = index;
    job.reportIndex = reportIndex;
    job.offset = offset;
    job.length = length;
    job.jobId = jobId_;
    job.fileSize = fileSize_;
    job.maxBytes = maxBytes_;
    job.word = word_;
    job.window = window_;
    job.session = Session();
    job.progressLock = progressLock_.get();
    job.deadline = deadline_;
    return job;
}

int CRangeDownloader::DownloadOneStream(bool failFast) {
    PartJob job = JobFor(0, 0, 0, 0);
    job.failFast = failFast;
    // The first request's reply, when the server sent the whole file in it.
    job.reply = &firstReply_;
    bool ok = false;
    {
        ScratchFile file = ScratchFile::Create(target_);
        if (!file) {
            WriteLog(Format(L"Cannot create %s", target_));
            firstReply_.reset();
            return 0;
        }
        ok = TransferPart(job, file.get()) && file.Keep();
    }
    firstReply_.reset();
    fileSize_ = job.fileSize;
    if (!ok) DeleteFileForce(target_);
    return ok ? 1 : 0;
}

// One range of the file as the downloader tracks it: the block it reports
// under, and the range it shares with the worker that fetches it.
struct CRangeDownloader::Slot {
    Slot(std::int32_t fileIndex, std::int32_t block, std::int32_t offset, std::int32_t end)
        : index(fileIndex), reportIndex(block), share(offset, end) {}
    std::int32_t index;
    std::int32_t reportIndex;
    PartShare share;
    HttpRequest reply;  // the first request's reply, for the first range
    std::int32_t replyEnd = 0;
    ULONGLONG started = 0;  // when a worker took it up; 0 while queued
};

PartWorkerPool& CRangeDownloader::Workers() {
    if (session_ != nullptr) return session_->workers();
    // Ended with the downloader, once its parts have ended.
    if (!ownWorkers_) ownWorkers_ = std::make_unique<PartWorkerPool>();
    return *ownWorkers_;
}

bool CRangeDownloader::QueuePart(Slot& slot) {
    ThreadValueTable& table = ThreadValueTable::Instance();
    // Counted before it is handed on, so that the watch never sees zero
    // while a part is still about to start.
    table.Add(value_kind::kRunning, jobId_, 1);
    Slot* part = &slot;
    std::shared_ptr<UniqueHandle> ended = partEnded_;
    const bool queued = Workers().Submit([this, part, ended](char* buffer) {
        ThreadValueTable& values = ThreadValueTable::Instance();
        const std::int32_t job = jobId_;
        try {
            {
                std::lock_guard lock(slotsMutex_);
                part->started = ::GetTickCount64();
            }
            const std::int32_t offset = part->share.offset();
            PartJob transfer = JobFor(part->index, part->reportIndex, offset, part->share.End() - offset);
            transfer.blockSize = blockSize_;
            transfer.share = &part->share;
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
    slots_.push_back(std::make_unique<Slot>(index, from / blockSize_, from, to));
    ++splitCount_;
    return QueuePart(*slots_.back());
}

void CRangeDownloader::WaitTick(DWORD milliseconds) { ::WaitForSingleObject(partEnded_->get(), milliseconds); }

// The first count seen is always sent, so that a window learns that parts
// ran even when they all end before the loop looks again.
void CRangeDownloader::SendRunning(std::int32_t running) {
    if (running == lastRunningSent_) return;
    lastRunningSent_ = running;
    SendProgress(window_, msg::kFileStarted, word_, running);
}

int CRangeDownloader::Fail() {
    firstReply_.reset();
    ownSession_.reset();
    DeleteFileForce(target_);
    return 0;
}

// Every block is written at its place in one file of the final size, beside
// the target; it takes the target's name only once complete. Removed by the
// system when the downloader lets go of it, whatever became of the download
// (or of the process).
bool CRangeDownloader::PrepareFile(const std::wstring& temporary) {
    file_ = ScratchFile::CreateToRename(temporary);
    LARGE_INTEGER end{};
    end.QuadPart = fileSize_;
    if (file_ && ::SetFilePointerEx(file_.get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file_.get())) return true;
    WriteLog(Format(L"Cannot create %s", temporary));
    file_ = ScratchFile();
    return false;
}

// One connection per range, the first one reading on in the first reply.
// The connection count is a limit: the next range starts when one ends.
void CRangeDownloader::StartParts(const std::vector<BlockRange>& runs) {
    ThreadValueTable& table = ThreadValueTable::Instance();
    slots_.clear();
    const auto count = static_cast<std::int32_t>(runs.size());
    for (std::int32_t i = 0; i < count; ++i) {
        const BlockRange& run = runs[static_cast<std::size_t>(i)];
        slots_.push_back(std::make_unique<Slot>(i, run.offset / blockSize_, run.offset, run.offset + run.length));
        if (i == 0 && firstReply_ && run.offset == 0) {
            slots_.back()->reply = std::move(firstReply_);
            slots_.back()->replyEnd = firstReplyEnd_;
        }
        (void)QueuePart(*slots_.back());
        if (table.Get(value_kind::kStopFlag, jobId_) != 0) break;
        // (The count includes a part as soon as it is queued, so there is
        // nothing to wait for below the limit.)
        while (i + 1 < count && table.Get(value_kind::kRunning, jobId_) >= threadCount_) WaitTick(10);
        SendRunning(table.Get(value_kind::kRunning, jobId_));
    }
}

// Waits until no part runs, giving idle connections a share of slow parts.
// True when some part failed.
bool CRangeDownloader::WatchParts() {
    ThreadValueTable& table = ThreadValueTable::Instance();
    bool stopped = false;
    for (;;) {
        stopped = stopped || table.Get(value_kind::kStopFlag, jobId_) != 0;
        std::int32_t running = table.Get(value_kind::kRunning, jobId_);
        if (running < 1) break;
        while (!stopped && running < threadCount_ && SplitSlowestPart()) ++running;
        SendRunning(running);
        WaitTick(50);
    }
    return stopped || table.Get(value_kind::kStopFlag, jobId_) != 0;
}

// Every part verified its own range; together they must cover the file.
int CRangeDownloader::Finish(const std::wstring& temporary, bool stopped) {
    std::int64_t covered = 0;
    for (const std::unique_ptr<Slot>& slot : slots_) covered += slot->share.End() - slot->share.offset();
    slots_.clear();
    bool done = !stopped && covered == fileSize_;
    if (done) {
        ::SetFileAttributesW(target_.c_str(), FILE_ATTRIBUTE_NORMAL);
        done = file_.KeepAs(target_);
        if (!done) WriteLog(Format(L"Cannot move %s to %s", temporary, target_));
    }
    file_ = ScratchFile();
    ::SetFileAttributesW(target_.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (done) {
        SendProgress(window_, msg::kFileProgress, word_, fileSize_);
        return 1;
    }
    if (!stopped) {
        WriteLog(Format(L"Parts cover %ld of %ld bytes for %s", covered, static_cast<std::int64_t>(fileSize_), url_));
    }
    DeleteFileForce(target_);
    return 0;
}

int CRangeDownloader::DownloadInParts() {
    // One session for the first request and all parts (the caller's, when it
    // keeps one across files): connections are kept alive and reused from
    // one request to the next.
    if (!OpenSession()) return Fail();
    switch (AskFirstBytes()) {
        case FirstReply::Failed:
            WriteLog(Format(L"No size for %s", url_));
            return Fail();
        case FirstReply::WholeFile:
        case FirstReply::NoTotal: {
            // Read in one stream: the reply in hand, or (no complete length
            // named) one request without a range.
            const int result = DownloadOneStream(false);
            ownSession_.reset();
            return result;
        }
        case FirstReply::Sized: break;
    }
    // An empty file has no ranges to cut; one plain request fetches it (its
    // length 0 read from the reply), so that a release holding an empty file
    // can be downloaded at all.
    if (fileSize_ == 0) {
        firstReply_.reset();
        const int result = DownloadOneStream(false);
        ownSession_.reset();
        return result;
    }
    deadline_ = started_ + FileDeadlineMs(Limits(), fileSize_);
    const BlockPlan plan = PlanBlocks(fileSize_, threadCount_);
    blockSize_ = plan.blockSize;
    partCount_ = plan.partCount;
    SendProgress(window_, msg::kFileSize, word_, fileSize_);
    SendProgress(window_, msg::kBlockSize, word_, plan.blockSize);

    const std::wstring temporary = target_ + L".part";
    if (!PrepareFile(temporary)) return Fail();
    StartParts(PlanRuns(plan, fileSize_, firstReply_ ? firstReplyEnd_ : 0, threadCount_));
    const bool stopped = WatchParts();
    firstReply_.reset();
    ownSession_.reset();
    return Finish(temporary, stopped);
}

int DownloadFile(const std::wstring& url, const std::wstring& target, bool failFast, int word, HWND window,
                 int threadCount, std::int64_t maxBytes, DownloadSession* session) {
    CRangeDownloader downloader;
    downloader.SetThreadCount(std::max(threadCount, 1));
    downloader.SetMaxBytes(maxBytes);
    downloader.SetSession(session);
    if (downloader.Download(url, target, failFast, word, window) != 1) {
        DeleteFileForce(target);
        return 1;
    }
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return 0;
}

}  // namespace mf
