// The download phase: every file of the update list fetched into the
// temporary download folder as its pending file (path + "_"), several files
// at a time, each first as its zip variant and then plainly, before anything
// of the installation is touched. Files that fail are remembered by index;
// a later run of the phase fetches only those.
//
// The phase reports to its owner window (messages 1057, 1040, 1038/1039
// and status texts 1034, all sent synchronously from the download threads)
// and to the notification windows (1976 file counts, 1978 bytes, and the
// statuses 4 -> 6 or 5). The owner window may be null: a run without a
// window reports only to the notification windows and the log. The phase
// must not run on the owner window's thread, which has to answer the sends
// while the phase waits.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/planted_links.h"
#include "list/update_file_info.h"

namespace mf {

// lParam of message 1057 to the owner window (wParam: the file's index).
namespace download_state {
inline constexpr LPARAM kFailed = 0;
inline constexpr LPARAM kFetched = 7;
inline constexpr LPARAM kStarted = 8;
}  // namespace download_state

// One run over the list (or over the failed files of the last run); ends
// with status 6 when every file is there, else 5. A run right after a check
// (status below 4) starts a new update run: nothing counted before counts.
void RunDownloadPhase(HWND owner);

// The phase as the silent flow and the update worker run it: once, then
// again for the failed files while the run ends with status 5, some file
// has arrived and no stop was asked for, at most 4 more times. True when
// the status is then 6 ("UpdateDownloadOk").
bool RunDownloadPhaseWithRetries(HWND owner);

// Asks a running phase to stop: no further file is started, the phase stops
// waiting and ends with status 5, and no retry follows. Files already in
// flight finish on their own; a phase started later waits for them first.
void RequestDownloadStop();

// The pending files in the download folder were left by another instance
// (the one that asked for rights): from now on only those a digest key can
// check are used, the others are fetched again.
void DistrustPendingFiles();

// Removes the links another program planted in the download folder (as
// links, or by putting the folder aside: ClearPlantedLinks) and logs what
// was done. Each phase run begins with it, and so does emptying the
// temporary files.
LinkSweep ClearDownloadFolderLinks(const std::wstring& folder);

// The body of one download thread: fetches record `index` and counts it as
// completed (fetched, or nothing to fetch) or failed.
void DownloadWorker(int index);

// Where a record is fetched from, and its temporary path (pending file =
// that + "_"), for the current list and configuration.
[[nodiscard]] std::wstring BuildFileUrl(const updatefileinfo& record);
[[nodiscard]] std::wstring DownloadTempPath(const std::wstring& recordPath);

// The phase's counters, as the windows and the tests read them.
[[nodiscard]] int DownloadCompletedCount();
[[nodiscard]] int DownloadActiveCount();
[[nodiscard]] std::vector<unsigned> DownloadErrorList();
[[nodiscard]] bool DownloadStopRequested();
// Waits until no download thread of any run is left; false on time-out.
bool WaitForDownloadThreads(DWORD timeoutMs);

// How the phase starts a download thread: true when the thread runs (its
// handle closed at once). CreateThread unless replaced; tests replace it to
// see a thread that cannot be started counted as a failed file.
using DownloadThreadStarter = std::function<bool(LPTHREAD_START_ROUTINE routine, void* parameter)>;
void SetDownloadThreadStarter(DownloadThreadStarter starter);

}  // namespace mf
