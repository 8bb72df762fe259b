// One block of a ranged download: connects (again when the server drops
// it), reads the block into a sink file and reports progress. Used by the
// part threads and, for the whole file, by the one-stream mode.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

#include "net/block_plan.h"
#include "net/internet.h"

namespace mf {

// The byte range of a running part, shared with the downloader, which may
// hand the far half of what is left to an idle connection: the part reads
// up to the current end, and never past what it has reserved.
class PartShare {
public:
    PartShare(std::int32_t offset, std::int32_t end)
        : offset_(offset), end_(end), position_(offset), reserved_(offset) {}
    PartShare(const PartShare&) = delete;
    PartShare& operator=(const PartShare&) = delete;

    [[nodiscard]] std::int32_t offset() const { return offset_; }
    [[nodiscard]] std::int32_t End();
    [[nodiscard]] std::int32_t Position();
    // The length of the next read from `position` (at most `most`), which a
    // split can no longer take away.
    std::int32_t Reserve(std::int32_t position, std::int32_t most);
    void Advance(std::int32_t position);
    // The part's request asks for the bytes up to `end`: a split leaves
    // them to it, since a reply closed before its end is read out by
    // WinINet a kilobyte at a time.
    void Ask(std::int32_t end);
    // Gives away the far half of the unread rest when both halves hold at
    // least `minimumPiece` bytes: returns {start, end} of the given-away
    // range, or {-1, -1}.
    std::pair<std::int32_t, std::int32_t> SplitOff(std::int32_t minimumPiece);

private:
    std::mutex mutex_;
    const std::int32_t offset_;
    std::int32_t end_;
    std::int32_t position_;
    std::int32_t reserved_;
    std::int32_t asked_ = 0;
};

struct PartJob {
    std::wstring url;
    std::int32_t index = 0;        // names the part file
    std::int32_t reportIndex = 0;  // the block whose progress it reports (message 1058)
    // When set, the part may run over several blocks of this size: each
    // byte's progress goes under the block that holds it, and no read
    // crosses from one block into the next.
    std::int32_t blockSize = 0;
    std::int32_t offset = 0;
    std::int32_t length = 0;    // 0: one stream, the length comes from the response
    std::int32_t jobId = 0;
    std::int32_t fileSize = 0;  // updated from the response in one-stream mode
    // One stream: the largest file accepted (a reply without Content-Length
    // is also cut at NetLimits::unsizedBytes).
    std::int64_t maxBytes = INT64_MAX;
    bool failFast = false;
    int word = 0;
    HWND window = nullptr;
    PartShare* share = nullptr;  // none: the range is fixed
    // The downloader's WinINet session, shared by its parts so that their
    // connections are kept alive and reused; none: the part opens a root
    // handle of its own ("down%d").
    HINTERNET session = nullptr;
    // Where the block goes in the sink: at its own offset in a file that
    // holds the whole download (the sink's length is then not the block's);
    // false: written from the sink's start (a file of its own).
    bool atOffset = false;
    // kTransferBlock bytes lent by the caller for the reads, so that a worker
    // fetching part after part does not map and zero a new buffer each
    // time; none: the part has its own.
    char* buffer = nullptr;
    // A reply already open on the part's first bytes (the size query's,
    // which asked for the file's first bytes): read before anything is
    // asked for, up to `replyEnd` (the offset after its last byte).
    // In one-stream mode (length 0) such a reply is the whole file.
    HttpRequest* reply = nullptr;
    std::int64_t replyEnd = 0;
    // When the file's time is up (a GetTickCount64 value, for every part and
    // retry of the file); 0: from the file's length, once it is known.
    std::uint64_t deadline = 0;
    // Held while the part adds its bytes to the file's total and reports
    // it, so that the parts of one file report growing totals in order.
    std::mutex* progressLock = nullptr;
};

// True when the sink holds the whole block. On failure the job's stop flag
// is set and this part's bytes are taken back out of the totals. A reply
// that is not the range asked for (another range, another total, another
// length) fails the part at once: its bytes would not be this block.
[[nodiscard]] bool TransferPart(PartJob& job, HANDLE sink);

// Synchronous progress message to the window, when there is one.
void SendProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A new WinINet root for downloads, as the agent "down%d" with the next
// number (servers see it in the User-Agent). Null when it cannot be opened.
UniqueInternet OpenDownloadAgent();

// Notes in the run's facts when the response names the engine's own server
// kind ("Server: mirefold2.xx").
void NoteServerKind(HINTERNET request);

}  // namespace mf
