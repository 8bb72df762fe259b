#include "net/range_downloader.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "app/paths.h"
#include "app/process_state.h"
#include "base/handles.h"
#include "base/messages.h"
#include "base/text_format.h"
#include "net/block_plan.h"
#include "net/internet.h"
#include "net/part_transfer.h"
#include "net/thread_value_table.h"
#include "net/url_text.h"

namespace mf {
namespace {

// QuerySize's answer for a size this downloader cannot hold: no retry helps.
constexpr std::int32_t kSizeUnsupported = -2;

UniqueFile CreateForWriting(const std::wstring& path) {
    return UniqueFile(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

struct PartThreadArgs {
    PartJob job;
    std::wstring partPath;
};

DWORD WINAPI PartThread(void* parameter) {
    std::unique_ptr<PartThreadArgs> args(static_cast<PartThreadArgs*>(parameter));
    try {
        UniqueFile file = CreateForWriting(args->partPath);
        if (!file) {
            WriteLog(Format(L"Cannot create %s", args->partPath));
            ThreadValueTable::Instance().Set(value_kind::kStopFlag, args->job.jobId, kStopValue);
        } else {
            (void)TransferPart(args->job, file.get());
        }
    } catch (...) {
        ThreadValueTable::Instance().Set(value_kind::kStopFlag, args->job.jobId, kStopValue);
    }
    ThreadValueTable::Instance().Add(value_kind::kRunning, args->job.jobId, -1);
    return 0;
}

}  // namespace

std::atomic<bool>& MirefoldServerSeen() {
    static std::atomic<bool> seen{false};
    return seen;
}

CRangeDownloader::CRangeDownloader() : jobId_(ThreadValueTable::Instance().Add(value_kind::kJobCounter, 0, 1)) {}

std::int32_t CRangeDownloader::QuerySize(const std::wstring& url) {
    UniqueInternet root = OpenInternet(Format(L"querysize%d", NextQueryAgentNumber()));
    if (!root) return -1;
    // Only the first byte is asked for: WinINet reads the rest of an
    // unfinished body when its handle is closed, which for a large file
    // costs longer than the download itself. A server that ignores the
    // range answers 200 with the whole length, which serves as well.
    UniqueInternet request = OpenUrl(root.get(), url, L"Range:bytes=0-0", kFreshFlags);
    if (!request) return -1;
    const DWORD status = QueryStatusCode(request.get());
    if (status != HTTP_STATUS_OK && status != HTTP_STATUS_PARTIAL_CONTENT) return -1;
    NoteServerKind(request.get());
    std::int64_t length = -1;
    if (status == HTTP_STATUS_PARTIAL_CONTENT) length = ContentRangeTotal(QueryHeader(request.get(), HTTP_QUERY_CONTENT_RANGE));
    if (length < 0) length = QueryContentLength(request.get());
    if (length > INT32_MAX) {
        WriteLog(Format(L"File too large (2 GiB or more) for this downloader: %s", url));
        return kSizeUnsupported;
    }
    if (length < 0) {
        WriteLog(Format(L"No Content-Length in the reply for %s", url));
        return -1;
    }
    return static_cast<std::int32_t>(length);
}

std::int32_t CRangeDownloader::QuerySizeWithRetries() {
    std::int32_t size = -1;
    const int passes = std::max(Process().connectTryCount, 1);
    for (int pass = 0; pass < passes && size < 0; ++pass) {
        size = QuerySize(url_);
        if (size == kSizeUnsupported) return size;
        if (size >= 0) break;
        // Some servers want the name escaped; from then on use that form.
        const std::wstring encoded = EncodeUrlText(url_);
        if (encoded == url_) continue;
        const std::int32_t encodedSize = QuerySize(encoded);
        if (encodedSize == kSizeUnsupported) return encodedSize;
        if (encodedSize >= 0) {
            url_ = encoded;
            size = encodedSize;
        }
    }
    return size;
}

int CRangeDownloader::Download(const std::wstring& url, const std::wstring& target, bool failFast, int word,
                               HWND window) {
    url_ = url;
    if (threadCount_ < 2 || failFast) return DownloadOneStream(target, failFast, word, window);
    target_ = target;
    return DownloadInParts(failFast, word, window);
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
    bool ok = false;
    {
        UniqueFile file = CreateForWriting(target);
        if (!file) {
            WriteLog(Format(L"Cannot create %s", target));
            return 0;
        }
        ok = TransferPart(job, file.get());
    }
    fileSize_ = job.fileSize;
    if (!ok) DeleteFileForce(target);
    return ok ? 1 : 0;
}

int CRangeDownloader::DownloadInParts(bool failFast, int word, HWND window) {
    ThreadValueTable& table = ThreadValueTable::Instance();
    const std::int32_t size = QuerySizeWithRetries();
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
    for (std::int32_t i = 0; i < plan.partCount; ++i) {
        const BlockRange range = PartRange(plan, size, i);
        auto args = std::make_unique<PartThreadArgs>();
        args->partPath = Format(L"%s.part%d", target_, i);
        args->job = PartJob{url_, i, range.offset, range.length, jobId_, size, false, word, window};
        // Counted before the thread exists, so that the watch below never
        // sees zero while a part is still about to start.
        table.Add(value_kind::kRunning, jobId_, 1);
        UniqueHandle thread(::CreateThread(nullptr, 0, PartThread, args.get(), 0, nullptr));
        if (thread) {
            (void)args.release();
        } else {
            WriteLog(Format(L"Cannot start a thread for part %d of %s", i, url_));
            table.Add(value_kind::kRunning, jobId_, -1);
            table.Set(value_kind::kStopFlag, jobId_, kStopValue);
        }
        if (table.Get(value_kind::kStopFlag, jobId_) != 0) break;
        ::Sleep(10);
        // The thread count is a limit: the next part starts when one ends.
        while (i + 1 < plan.partCount && table.Get(value_kind::kRunning, jobId_) >= threadCount_) ::Sleep(10);
        sendRunning(table.Get(value_kind::kRunning, jobId_));
    }
    (void)failFast;

    bool stopped = false;
    for (;;) {
        stopped = stopped || table.Get(value_kind::kStopFlag, jobId_) != 0;
        const std::int32_t running = table.Get(value_kind::kRunning, jobId_);
        if (running < 1) break;
        sendRunning(running);
        ::Sleep(50);
    }
    stopped = stopped || table.Get(value_kind::kStopFlag, jobId_) != 0;

    const std::int64_t joined = stopped ? -1 : JoinParts();
    for (std::int32_t i = 0; i < plan.partCount; ++i) DeleteFileForce(Format(L"%s.part%d", target_, i));
    ::SetFileAttributesW(target_.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (joined == size) {
        SendProgress(window, msg::kFileProgress, word, size);
        return 1;
    }
    if (!stopped) WriteLog(Format(L"Joined %ld of %ld bytes for %s", joined, static_cast<std::int64_t>(size), url_));
    DeleteFileForce(target_);
    return 0;
}

std::int64_t CRangeDownloader::JoinParts() {
    UniqueFile target = CreateForWriting(target_);
    if (!target) {
        WriteLog(Format(L"Cannot create %s", target_));
        return -1;
    }
    std::vector<char> buffer(kTransferBlock);
    std::int64_t joined = 0;
    for (std::int32_t i = 0; i < partCount_; ++i) {
        const std::wstring path = Format(L"%s.part%d", target_, i);
        UniqueFile part(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!part) break;
        for (;;) {
            DWORD read = 0;
            if (!::ReadFile(part.get(), buffer.data(), kTransferBlock, &read, nullptr) || read == 0) break;
            DWORD written = 0;
            if (!::WriteFile(target.get(), buffer.data(), read, &written, nullptr) || written != read) return -1;
            joined += read;
        }
    }
    // No flush to the disk here: the install phase copies the file anyway,
    // and a forced write-back would cost more than the whole transfer.
    return joined;
}

int DownloadFile(const std::wstring& url, const std::wstring& target, bool failFast, int word, HWND window,
                 int threadCount) {
    CRangeDownloader downloader;
    downloader.SetThreadCount(std::max(threadCount, 1));
    const int done = downloader.Download(url, target, failFast, word, window);
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (done != 1) {
        DeleteFileForce(target);
        return 1;
    }
    return 0;
}

}  // namespace mf
