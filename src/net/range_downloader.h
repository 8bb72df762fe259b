// The ranged multi-thread downloader: asks the server for the size, cuts the
// file into blocks, fetched by part workers over one WinINet session (both
// the caller's DownloadSession, or the download's own) into one file beside
// the target, each block at its place; the file takes
// the target's name once every block is verified. Progress goes to one window by
// synchronous messages and to the notification windows.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/handles.h"
#include "net/block_plan.h"
#include "net/download_session.h"
#include "net/internet.h"
#include "net/part_transfer.h"
#include "net/scratch_file.h"

namespace mf {

// Bytes asked for by one network read and moved by one file copy.
inline constexpr std::int32_t kTransferBlock = 256 * 1024;

class CRangeDownloader {
public:
    CRangeDownloader();
    ~CRangeDownloader();
    CRangeDownloader(const CRangeDownloader&) = delete;
    CRangeDownloader& operator=(const CRangeDownloader&) = delete;

    // 1 when the target is complete, 0 otherwise. `word` is passed through as
    // the wParam of the progress messages.
    [[nodiscard]] int Download(const std::wstring& url, const std::wstring& target, bool failFast, int word,
                               HWND window);

    void SetThreadCount(std::int32_t count) { threadCount_ = count; }
    // A file larger than this is refused before it is fetched (and a reply
    // that runs past it fails).
    void SetMaxBytes(std::int64_t bytes) { maxBytes_ = bytes; }
    // The caller's session, kept across downloads so that their connections
    // are reused and their parts fetched by the same workers; it must stay
    // until Download returns. None: the download opens a handle of its own
    // and starts its own workers.
    void SetSession(DownloadSession* session) { session_ = session; }
    [[nodiscard]] std::int32_t threadCount() const { return threadCount_; }
    [[nodiscard]] std::int32_t jobId() const { return jobId_; }
    [[nodiscard]] std::int32_t fileSize() const { return fileSize_; }
    [[nodiscard]] std::int32_t partCount() const { return partCount_; }
    [[nodiscard]] const std::wstring& url() const { return url_; }
    // Parts split off a slow part for an idle connection.
    [[nodiscard]] std::int32_t splitCount() const { return splitCount_; }

private:
    struct Slot;
    // What the first request found out.
    enum class FirstReply { Sized, WholeFile, NoTotal, Failed };

    [[nodiscard]] int DownloadOneStream(bool failFast);
    [[nodiscard]] int DownloadInParts();
    [[nodiscard]] bool OpenSession();
    [[nodiscard]] HINTERNET Session() const { return SharedRoot() != nullptr ? SharedRoot() : ownSession_.get(); }
    [[nodiscard]] HINTERNET SharedRoot() const { return session_ != nullptr ? session_->root() : nullptr; }
    [[nodiscard]] PartWorkerPool& Workers();
    // The first request, with the retries a lost connection deserves.
    [[nodiscard]] FirstReply AskFirstBytes();
    // One first request of `url`: the file's first kRequestSpan bytes.
    [[nodiscard]] std::int32_t AskFirstBytesOnce(const std::wstring& url);
    [[nodiscard]] bool PrepareFile(const std::wstring& temporary);
    void StartParts(const std::vector<BlockRange>& runs);
    [[nodiscard]] bool WatchParts();
    [[nodiscard]] int Finish(const std::wstring& temporary, bool stopped);
    [[nodiscard]] int Fail();
    // The job of a part, as the transfer takes it.
    [[nodiscard]] PartJob JobFor(std::int32_t index, std::int32_t reportIndex, std::int32_t offset,
                                 std::int32_t length) const;
    // Hands a part to the part workers.
    bool QueuePart(Slot& slot);
    bool SplitSlowestPart();
    // Sleeps for one polling tick, or less when a part ends meanwhile.
    void WaitTick(DWORD milliseconds);
    void SendRunning(std::int32_t running);

    std::int32_t jobId_;
    std::int32_t fileSize_ = 0;
    std::int32_t partCount_ = 0;
    std::int32_t threadCount_ = 8;
    std::int32_t blockSize_ = 0;
    std::int32_t splitCount_ = 0;
    std::int64_t maxBytes_ = INT64_MAX;
    ULONGLONG started_ = 0;
    // When the file's time is up, once its size is known (0 before).
    ULONGLONG deadline_ = 0;
    std::wstring url_;
    std::wstring target_;
    int word_ = 0;
    HWND window_ = nullptr;
    std::int32_t lastRunningSent_ = -1;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::mutex slotsMutex_;  // guards Slot::started
    ScratchFile file_;
    DownloadSession* session_ = nullptr;
    UniqueInternet ownSession_;
    std::unique_ptr<PartWorkerPool> ownWorkers_;
    // The first request's reply, open on the file's first bytes: read by
    // the first part, or as the whole file when the server sent it all.
    HttpRequest firstReply_;
    std::int32_t firstReplyEnd_ = 0;
    // Held while a part adds its bytes and reports the total, so that the
    // totals reach the windows in the order in which they grew.
    std::shared_ptr<std::mutex> progressLock_;
    std::shared_ptr<UniqueHandle> partEnded_;
};

// No limit of the caller's on a file's size (the downloader's own 2 GiB
// still holds).
inline constexpr std::int64_t kAnySize = INT64_MAX;

// The download phase's entry: `threadCount` connections (at least 1); the
// target's attributes are made normal and a failed target is deleted.
// A file of more than `maxBytes` fails. `session`: the caller's session
// (CRangeDownloader::SetSession), or none. 0 on success, 1 on failure.
[[nodiscard]] int DownloadFile(const std::wstring& url, const std::wstring& target, bool failFast, int word,
                               HWND window, int threadCount, std::int64_t maxBytes = kAnySize,
                               DownloadSession* session = nullptr);

}  // namespace mf
