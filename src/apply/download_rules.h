// The rules of the download phase that need no network, thread or window:
// where a record is fetched from and to, which records have nothing to
// fetch, which files one run takes on, when the next file may start, when
// the run is over, what the progress texts say and when a run is repeated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/update_status.h"
#include "list/update_file_info.h"

namespace mf {

// The record's own URL when it has one; otherwise the list's file-URL
// template with "{listurl-base}" and "{filename}" (the record's path) filled
// in, normalised by the URL join (backslashes become slashes, doubled
// slashes collapse, the scheme keeps its two).
[[nodiscard]] std::wstring BuildFileUrlWith(const updatefileinfo& record, const std::wstring& fileUrlTemplate,
                                            const std::wstring& baseUrl);

// The temporary path of a record in the download folder: a relative path
// joined with a backslash, "/" made "\", runs of backslashes collapsed. An
// absolute path (a drive, UNC or long-path name) is fetched below the
// folder kAbsolutePathsFolder of the download folder, never at its own
// place. Empty for a path that is refused: a relative one that climbs out
// of the folder (".."), or one with a ":" that makes no absolute path. The
// pending file is this path + "_", the zip variant this path + "._.zip".
inline constexpr const wchar_t* kAbsolutePathsFolder = L"~absolute";
[[nodiscard]] std::wstring DownloadPathWith(const std::wstring& downloadFolder, const std::wstring& recordPath);

// Records that are not fetched: deletions, the flags 0x10 and 0x20, and any
// bit of 0x7F000000 (messages and commands).
[[nodiscard]] bool NothingToDownload(std::int32_t oper);

// The indices one run works on: every index of the list in order when no
// file failed before, else the failed ones in their order. Indices that no
// longer name a record are dropped, so no run waits for a file that nobody
// fetches.
[[nodiscard]] std::vector<int> DownloadWorkList(int recordCount, const std::vector<unsigned>& errors);

// Whether the phase must wait before starting the file after the one at
// `position` of the work list: `threadCount` files are in flight. Files
// finish by being completed (counted since the run began) or failing.
[[nodiscard]] bool FileSlotsFull(int position, int completedInRun, int errorCount, int threadCount);

// Whether every file of the list has been counted, one way or the other.
[[nodiscard]] bool AllFilesCounted(int errorCount, int completed, int recordCount);

// The progress figures of the phase and its texts (translated).
struct DownloadProgress {
    int completed = 0;
    int total = 0;
    int active = 0;
    int errors = 0;
};
// "Downloading, complete %d/%d, total thread %d ..." while nothing failed,
// else "Error %d files,complete %d/%d".
[[nodiscard]] std::wstring ProgressText(const DownloadProgress& progress);
// "Download completed %d/%d." when nothing failed, else the error text.
[[nodiscard]] std::wstring CompletionText(const DownloadProgress& progress);
// "Downloading to temporary directory..." for a run over the whole list,
// "Downloading error files..." for a run over the failed files.
[[nodiscard]] std::wstring StartText(bool errorFilesOnly);

// The callers' rule: after the first run, at most this many more runs, each
// for the failed files, while the run ends with status 5 and some file has
// arrived (a run that got nothing at all is not repeated) and nobody asked
// the phase to stop.
inline constexpr int kMaxDownloadRetries = 4;
[[nodiscard]] bool ShouldRetryDownload(UpdateStatus status, int completed, int retriesDone, bool stopRequested);

}  // namespace mf
