#include "net/range_downloader.h"

#include <algorithm>
#include <memory>
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
constexpr DWORD kJoinBlock = 1024 * 1024;

struct PartThreadArgs {
    PartJob job;
    UniqueFile file;  // a second handle to the part's scratch file
    // Set when the part has ended, so that the polling caller looks again at
    // once instead of at its next tick; shared, as the caller may be gone
    // by the time the thread lets go of it.
    std::shared_ptr<UniqueHandle> ended;
};

DWORD WINAPI PartThread(void* parameter) {
    std::unique_ptr<PartThreadArgs> args(static_cast<PartThreadArgs*>(parameter));
    try {
        (void)TransferPart(args->job, args->file.get());
        args->file.reset();
    } catch (...) {
        ThreadValueTable::Instance().Set(value_kind::kStopFlag, args->job.jobId, kStopValue);
    }
    ThreadValueTable::Instance().Add(value_kind::kRunning, args->job.jobId, -1);
    if (args->ended) ::SetEvent(args->ended->get());
    return 0;
}

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
    UniqueInternet root = OpenInternet(Format(L"querysize%d", NextQueryAgentNumber()));
    if (!root) return -1;
    // Only the first byte is asked for: WinINet reads the rest of an
    // unfinished body when its handle is closed, which for a large file
    // costs longer than the download itself. A server that ignores the
    // range answers 200 with the whole length, which serves as well.
    OpenUrlError error = OpenUrlError::None;
    HttpRequest request = OpenUrl(root.get(), url, L"Range:bytes=0-0", kPartFlags, &error);
    if (!request) return error == OpenUrlError::Failed ? -1 : kSizeRefused;
    const DWORD status = QueryStatusCode(request.get());
    if (!IsContentStatus(status)) return -1;
    NoteServerKind(request.get());
    std::int64_t length = -1;
    if (status == HTTP_STATUS_PARTIAL_CONTENT) {
        // The Content-Length of a range reply is the length of the range
        // (1 here): only the complete length after the "/" is the size.
        const ContentRange range = ParseContentRange(QueryHeader(request.get(), HTTP_QUERY_CONTENT_RANGE));
        if (!range.valid || range.total < 0) {
            WriteLog(Format(L"No complete length in the range reply for %s: fetching it in one stream", url));
            return kSizeNoTotal;
        }
        length = range.total;
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
    const int passes = std::max(Process().connectTryCount, 1);
    for (int pass = 0; pass < passes; ++pass) {
        const std::int32_t size = QuerySize(url_);
        if (size >= 0 || size == kSizeRefused || size == kSizeNoTotal) return size;
        // Some servers want the name escaped; from then on use that form.
        const std::wstring encoded = EncodeUrlText(url_);
        if (encoded == url_) continue;
        const std::int32_t encodedSize = QuerySize(encoded);
        if (encodedSize == kSizeRefused) return encodedSize;
        if (encodedSize >= 0 || encodedSize == kSizeNoTotal) {
            url_ = encoded;
            return encodedSize;
        }
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

// One part of the file as the downloader tracks it: its file, the block it
// reports under, and the range it shares with its thread.
struct CRangeDownloader::Slot {
    Slot(std::int32_t fileIndex, std::int32_t block, std::int32_t offset, std::int32_t end, std::wstring partPath)
        : index(fileIndex), reportIndex(block), share(offset, end), path(std::move(partPath)), started(::GetTickCount64()) {}
    std::int32_t index;
    std::int32_t reportIndex;
    PartShare share;
    std::wstring path;
    ULONGLONG started;
    // Removed by the system when the downloader lets go of it, whatever
    // became of the download (or of the process).
    ScratchFile file;
};

bool CRangeDownloader::StartPart(Slot& slot, int word, HWND window) {
    ThreadValueTable& table = ThreadValueTable::Instance();
    auto args = std::make_unique<PartThreadArgs>();
    slot.file = ScratchFile::Create(slot.path);
    args->file = slot.file.Duplicate();
    if (!args->file) {
        WriteLog(Format(L"Cannot create %s", slot.path));
        table.Set(value_kind::kStopFlag, jobId_, kStopValue);
        return false;
    }
    args->job.url = url_;
    args->job.index = slot.index;
    args->job.reportIndex = slot.reportIndex;
    args->job.offset = slot.share.offset();
    args->job.length = slot.share.End() - slot.share.offset();
    args->job.jobId = jobId_;
    args->job.fileSize = fileSize_;
    args->job.word = word;
    args->job.window = window;
    args->job.share = &slot.share;
    args->ended = partEnded_;
    // Counted before the thread exists, so that the watch never sees zero
    // while a part is still about to start.
    table.Add(value_kind::kRunning, jobId_, 1);
    UniqueHandle thread(::CreateThread(nullptr, 0, PartThread, args.get(), 0, nullptr));
    if (thread) {
        (void)args.release();
        return true;
    }
    WriteLog(Format(L"Cannot start a thread for part %d of %s", slot.index, url_));
    table.Add(value_kind::kRunning, jobId_, -1);
    table.Set(value_kind::kStopFlag, jobId_, kStopValue);
    return false;
}

// When the planned parts are all under way and a connection is idle, the
// slowest part hands the far half of its rest to a new part: against a
// server that limits each connection this keeps every connection busy to
// the end. Parts that will be done soon are left alone.
bool CRangeDownloader::SplitSlowestPart(int word, HWND window) {
    constexpr std::int32_t kMinimumPiece = 512 * 1024;
    constexpr double kWorthSeconds = 0.25;
    Slot* victim = nullptr;
    double longest = kWorthSeconds;
    const ULONGLONG now = ::GetTickCount64();
    for (const std::unique_ptr<Slot>& slot : slots_) {
        const std::int32_t position = slot->share.Position();
        const std::int32_t rest = slot->share.End() - position;
        const ULONGLONG elapsed = now - slot->started;
        if (rest < 2 * kMinimumPiece || elapsed < 100) continue;
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
    slots_.push_back(std::make_unique<Slot>(index, victim->reportIndex, from, to, Format(L"%s.part%d", target_, index)));
    ++splitCount_;
    return StartPart(*slots_.back(), word, window);
}

void CRangeDownloader::WaitTick(DWORD milliseconds) { ::WaitForSingleObject(partEnded_->get(), milliseconds); }

int CRangeDownloader::DownloadInParts(int word, HWND window) {
    ThreadValueTable& table = ThreadValueTable::Instance();
    const std::int32_t size = QuerySizeWithRetries();
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

    // The first count seen is always sent, so that a window learns that
    // parts ran even when they all end before the loop looks again.
    std::int32_t lastSent = -1;
    auto sendRunning = [&](std::int32_t running) {
        if (running == lastSent) return;
        lastSent = running;
        SendProgress(window, msg::kFileStarted, word, running);
    };
    slots_.clear();
    for (std::int32_t i = 0; i < plan.partCount; ++i) {
        const BlockRange range = PartRange(plan, size, i);
        slots_.push_back(
            std::make_unique<Slot>(i, i, range.offset, range.offset + range.length, Format(L"%s.part%d", target_, i)));
        (void)StartPart(*slots_.back(), word, window);
        if (table.Get(value_kind::kStopFlag, jobId_) != 0) break;
        // The thread count is a limit: the next part starts when one ends.
        // (The count includes a part as soon as it is started, so there is
        // nothing to wait for below the limit.)
        while (i + 1 < plan.partCount && table.Get(value_kind::kRunning, jobId_) >= threadCount_) WaitTick(10);
        sendRunning(table.Get(value_kind::kRunning, jobId_));
    }

    bool stopped = false;
    for (;;) {
        stopped = stopped || table.Get(value_kind::kStopFlag, jobId_) != 0;
        std::int32_t running = table.Get(value_kind::kRunning, jobId_);
        if (running < 1) break;
        while (!stopped && running < threadCount_ && SplitSlowestPart(word, window)) ++running;
        sendRunning(running);
        WaitTick(50);
    }
    stopped = stopped || table.Get(value_kind::kStopFlag, jobId_) != 0;

    const std::int64_t joined = stopped ? -1 : JoinParts(size);
    slots_.clear();  // the part files go with their handles
    ::SetFileAttributesW(target_.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (joined == size) {
        SendProgress(window, msg::kFileProgress, word, size);
        return 1;
    }
    if (!stopped) WriteLog(Format(L"Joined %ld of %ld bytes for %s", joined, static_cast<std::int64_t>(size), url_));
    DeleteFileForce(target_);
    return 0;
}

std::int64_t CRangeDownloader::JoinParts(std::int64_t expected) {
    // Parts in file order: a part split off later joins right after the
    // one it came from.
    std::vector<const Slot*> order;
    for (const std::unique_ptr<Slot>& slot : slots_) order.push_back(slot.get());
    std::sort(order.begin(), order.end(),
              [](const Slot* a, const Slot* b) { return a->share.offset() < b->share.offset(); });
    // The target stays only once it holds the whole file.
    ScratchFile target = ScratchFile::Create(target_);
    if (!target) {
        WriteLog(Format(L"Cannot create %s", target_));
        return -1;
    }
    std::vector<char> buffer(kJoinBlock);
    std::int64_t joined = 0;
    for (const Slot* slot : order) {
        const LARGE_INTEGER start{};
        if (!slot->file || !::SetFilePointerEx(slot->file.get(), start, nullptr, FILE_BEGIN)) break;
        for (;;) {
            DWORD read = 0;
            if (!::ReadFile(slot->file.get(), buffer.data(), kJoinBlock, &read, nullptr) || read == 0) break;
            DWORD written = 0;
            if (!::WriteFile(target.get(), buffer.data(), read, &written, nullptr) || written != read) return -1;
            joined += read;
        }
    }
    // No flush to the disk here: the install phase copies the file anyway,
    // and a forced write-back would cost more than the whole transfer.
    if (joined != expected) return joined;
    return target.Keep() ? joined : -1;
}

int DownloadFile(const std::wstring& url, const std::wstring& target, bool failFast, int word, HWND window,
                 int threadCount, std::int64_t maxBytes) {
    CRangeDownloader downloader;
    downloader.SetThreadCount(std::max(threadCount, 1));
    downloader.SetMaxBytes(maxBytes);
    const int done = downloader.Download(url, target, failFast, word, window);
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (done != 1) {
        DeleteFileForce(target);
        return 1;
    }
    return 0;
}

}  // namespace mf
