#include "apply/download_phase.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "apply/download_rules.h"
#include "base/confined_folder.h"
#include "base/files.h"
#include "base/messages.h"
#include "base/named_lock.h"
#include "base/planted_links.h"
#include "base/text_format.h"
#include "engine/download_limits.h"
#include "engine/process_state.h"
#include "engine/status.h"
#include "net/fetch_file.h"

namespace mf {

namespace {

// A file's thread comes from the system's thread pool: a fresh thread costs
// its start-up (under Wine: zeroing a megabyte of stack and the page faults
// behind it), which for an update of many small files was a good part of the
// phase. Never joined either way: the phase counts files, not threads.
bool StartOnThreadPool(LPTHREAD_START_ROUTINE routine, void* parameter) {
    return ::QueueUserWorkItem(routine, parameter, WT_EXECUTELONGFUNCTION) != FALSE;
}

// The counters shared by the phase and its download threads, one set per
// process state.
// Process-wide: a fresh state has no file counted, no run stopped and no session.
struct DownloadPhaseState : ProcessWide {
    // Files finished, fetched or skipped; kept across the runs of one update
    // run, so that a retry run ends when the failed files are in too.
    std::atomic<int> completed{0};
    // Download threads of the current run that have not finished their file.
    std::atomic<int> active{0};
    // Download threads that have not returned yet, of any run.
    std::atomic<int> threads{0};
    std::atomic<bool> stop{false};
    // The pending files were left by another instance (DistrustPendingFiles).
    std::atomic<bool> distrustPending{false};
    std::atomic<int> total{0};
    std::atomic<HWND> owner{nullptr};

    std::mutex errorsMutex;
    std::vector<unsigned> errors;  // indices of the files that failed in this run

    // Held while the active count changes and the progress text that shows
    // it is sent, so that texts arrive in the order of the changes.
    std::mutex progressMutex;

    std::mutex starterMutex;
    DownloadThreadStarter starter = StartOnThreadPool;

    // The run's download session, shared by all its files, so that the
    // connections to a server are kept alive from one file to the next and
    // the parts of every file go to the same workers. A file's thread holds
    // it while it fetches: a stopped run's threads may outlive the run.
    std::mutex sessionMutex;
    std::shared_ptr<DownloadSession> session;

    std::shared_ptr<DownloadSession> Session() {
        std::lock_guard lock(sessionMutex);
        return session;
    }
    // The download folder of the run, opened once and held; empty when it
    // could not be used (a link, or not where its name says).
    std::shared_ptr<const ConfinedFolder> folder;

    int ErrorCount() {
        std::lock_guard lock(errorsMutex);
        return static_cast<int>(errors.size());
    }
    void AddError(int index) {
        std::lock_guard lock(errorsMutex);
        errors.push_back(static_cast<unsigned>(index));
    }
};

DownloadPhaseState& Phase() { return Process().Shared<DownloadPhaseState>(); }

// The progress text to the owner window and the file count to the host
// windows. The caller holds the progress lock.
void ReportProgress(DownloadPhaseState& phase) {
    if (phase.stop) return;
    DownloadProgress progress;
    progress.completed = phase.completed;
    progress.total = phase.total;
    progress.active = phase.active;
    progress.errors = phase.ErrorCount();
    const std::wstring text = ProgressText(progress);
    Process().notifications.SendFileCount(progress.completed, progress.total);
    Process().notifications.SendStatusText(phase.owner, text);
}

// Never fails: the phase's waits rely on every change being made.
void ChangeActiveCount(DownloadPhaseState& phase, int delta) noexcept {
    std::lock_guard lock(phase.progressMutex);
    phase.active += delta;
    try {
        ReportProgress(phase);
    } catch (...) {
    }
}

void SendToOwner(DownloadPhaseState& phase, long lockId, UINT message, int index, LPARAM value) {
    const HWND owner = phase.owner;
    if (owner == nullptr) return;
    ScopedNamedLock lock(lockId);
    ::SendMessageW(owner, message, static_cast<WPARAM>(index), value);
}

enum class FileOutcome { Skipped, Fetched, Failed };

// What stands under a pending file's name is a pending file of an earlier
// run only when it is a plain file in the download folder. Anything else (a
// link to a file elsewhere) is removed as a link; when that cannot be done,
// the file cannot be fetched.
bool PendingFileUsable(const ConfinedFolder& folder, const std::wstring& pending) {
    if (::GetFileAttributesW(pending.c_str()) == INVALID_FILE_ATTRIBUTES || folder.HoldsPlainFile(pending)) return true;
    DeleteFileForce(pending);
    return ::GetFileAttributesW(pending.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// A pending file that the instance which asked for rights left (or any
// program of the user) proves nothing by itself: for a record without a
// digest key nothing tells whether it holds the file the list names, so the
// elevated instance fetches that file itself.
void ForgetUncheckablePendingFile(const updatefileinfo& record, const std::wstring& pending) {
    if (!Phase().distrustPending || record.md5key) return;
    if (::GetFileAttributesW(pending.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    WriteLog(L"Fetched again as administrator (no digest to check it by): " + pending);
    DeleteFileForce(pending);
}

// The record, with its status text emptied for the lines of this fetch;
// false when the index names no record.
bool TakeRecord(int index, updatefileinfo& record) {
    ScopedNamedLock lock(lock_id::kRecordStatus);
    DownLoadList& list = Process().updateList;
    if (index < 0 || index >= list.GetSize()) return false;
    list[index].status.clear();
    record = list[index];
    return true;
}

FileOutcome FetchRecord(DownloadPhaseState& phase, int index, std::wstring& path) {
    updatefileinfo record;
    // An index outside the list is counted as failed: the phase must not
    // wait for a file that nobody fetches.
    if (!TakeRecord(index, record)) return FileOutcome::Failed;
    path = record.path;
    if (NothingToDownload(record.oper)) return FileOutcome::Skipped;
    SendToOwner(phase, lock_id::kStartedMessage, msg::kPhaseState, index, download_state::kStarted);
    const std::wstring target = DownloadTempPath(record.path);
    // Whatever the file writes and deletes stays in the download folder:
    // its folders are made there and held, none of them a link, and a
    // pending file of an earlier run counts only as a plain file there.
    const std::shared_ptr<const ConfinedFolder> folder = phase.folder;
    if (target.empty() || !folder) {
        WriteLog(TranslateFormat(L"Path refused[%s]", record.path));
        return FileOutcome::Failed;
    }
    const HeldFolders held = folder->HoldFoldersOf(target);
    if (held) ForgetUncheckablePendingFile(record, target + L"_");
    if (!held || !PendingFileUsable(*folder, target + L"_")) {
        WriteLog(TranslateFormat(L"Path refused[%s]", target));
        return FileOutcome::Failed;
    }
    const std::shared_ptr<DownloadSession> session = phase.Session();
    FetchOptions options;
    if (record.md5key) options.md5Key = record.ver;
    options.sha256Key = record.sha256;
    options.zip = record.zip;
    options.session = session.get();
    const int failed = FetchFile(phase.owner, index, BuildFileUrl(record), target, options);
    return failed == 0 ? FileOutcome::Fetched : FileOutcome::Failed;
}

void CountFailed(DownloadPhaseState& phase, int index, const std::wstring& path) {
    phase.AddError(index);
    SendToOwner(phase, lock_id::kFailedMessage, msg::kPhaseState, index, download_state::kFailed);
    WriteLog(L"error[" + path + L"]");
}

void CountFetched(DownloadPhaseState& phase, int index, const std::wstring& path) {
    ++phase.completed;
    {
        const HWND owner = phase.owner;
        if (owner != nullptr) {
            ScopedNamedLock lock(lock_id::kFetchedMessage);
            ::SendMessageW(owner, msg::kPhaseState, static_cast<WPARAM>(index), download_state::kFetched);
            ::SendMessageW(owner, msg::kFileStarted, static_cast<WPARAM>(index), 0);
        }
    }
    WriteLog(L"done[" + path + L"]");
}

DWORD WINAPI DownloadThread(void* parameter) {
    DownloadPhaseState& phase = Phase();
    DownloadWorker(static_cast<int>(reinterpret_cast<INT_PTR>(parameter)));
    // The last touch of the phase's state: after it, a waiter may let the
    // state go.
    --phase.threads;
    return 0;
}

// A file whose thread could not be started is failed at once, so the phase
// does not wait for it.
void StartFile(DownloadPhaseState& phase, int index) {
    DownloadThreadStarter starter;
    {
        std::lock_guard lock(phase.starterMutex);
        starter = phase.starter;
    }
    ++phase.threads;
    if (starter(DownloadThread, reinterpret_cast<void*>(static_cast<INT_PTR>(index)))) return;
    --phase.threads;
    WriteLog(L"Cannot start the download thread of file " + std::to_wstring(index));
    std::wstring path;
    {
        ScopedNamedLock lock(lock_id::kRecordStatus);
        const DownLoadList& list = Process().updateList;
        if (index >= 0 && index < list.GetSize()) path = list[index].path;
    }
    CountFailed(phase, index, path);
    ChangeActiveCount(phase, -1);
}

}  // namespace

void DistrustPendingFiles() {
    Phase().distrustPending = true;
}

LinkSweep ClearDownloadFolderLinks(const std::wstring& folder) {
    const LinkSweep sweep = ClearPlantedLinks(folder);
    switch (sweep) {
        case LinkSweep::Clean:
            break;
        case LinkSweep::LinksRemoved:
            WriteLog(L"Links planted in the download folder were removed: " + folder);
            break;
        case LinkSweep::FolderRenewed:
            WriteLog(
                L"A link planted in the download folder cannot be removed as itself here; the folder was put "
                L"aside with it and made anew: " +
                folder);
            break;
        case LinkSweep::Refused:
            WriteLog(TranslateFormat(L"Path refused[%s]", folder));
            break;
    }
    return sweep;
}

namespace {

std::shared_ptr<const ConfinedFolder> OpenDownloadFolder() {
    auto folder = std::make_shared<ConfinedFolder>();
    const std::wstring path = Process().paths.ListCacheBase();
    (void)ClearDownloadFolderLinks(path);
    if (folder->Open(path)) return folder;
    WriteLog(TranslateFormat(L"Path refused[%s]", path));
    return nullptr;
}

void WaitWhile(DownloadPhaseState& phase, const std::function<bool()>& busy) {
    while (!phase.stop && busy()) ::Sleep(1);
}

// One run of the phase; the stop flag is the caller's to clear.
void RunOnce(HWND owner) {
    DownloadPhaseState& phase = Phase();
    // Threads of a stopped run may still be fetching; a new run must not
    // fetch the same files beside them, nor have them count into its own
    // figures.
    while (phase.threads > 0) ::Sleep(1);

    DownLoadList& list = Process().updateList;
    const int count = list.GetSize();
    if (list.Status() < UpdateStatus::Download) {
        // A run right after a check begins a new update run: what an earlier
        // run of this process counted belongs to another list.
        phase.completed = 0;
        std::lock_guard lock(phase.errorsMutex);
        phase.errors.clear();
    }
    if (list.Status() != UpdateStatus::Download) SetStatus(UpdateStatus::Download, owner);
    phase.owner = owner;
    phase.folder = OpenDownloadFolder();
    phase.active = 0;
    phase.total = count;

    std::vector<int> work;
    bool errorFilesOnly = false;
    {
        std::lock_guard lock(phase.errorsMutex);
        work = DownloadWorkList(count, phase.errors);
        errorFilesOnly = !phase.errors.empty();
        phase.errors.clear();
        // Counting a failure then never needs memory.
        phase.errors.reserve(static_cast<std::size_t>(count));
    }
    ShowAndLog(owner, StartText(errorFilesOnly));
    {
        // Without a root handle (it could not be opened) each download tries
        // its own.
        std::shared_ptr<DownloadSession> session = std::make_shared<DownloadSession>();
        std::lock_guard lock(phase.sessionMutex);
        phase.session = std::move(session);
    }
    const int completedBefore = phase.completed;
    const int threadCount = ClampFileConcurrency(Process().fileConcurrency);

    for (std::size_t position = 0; position < work.size() && !phase.stop; ++position) {
        ChangeActiveCount(phase, +1);
        StartFile(phase, work[position]);
        const int at = static_cast<int>(position);
        WaitWhile(phase, [&] {
            return FileSlotsFull(at, phase.completed - completedBefore, phase.ErrorCount(), threadCount);
        });
    }
    // Every started file ends counted; with no thread left the wait is over
    // whatever the figures say.
    WaitWhile(phase, [&] { return !AllFilesCounted(phase.ErrorCount(), phase.completed, count) && phase.active > 0; });
    {
        // Closed when the last file's thread lets go of it.
        std::lock_guard lock(phase.sessionMutex);
        phase.session.reset();
    }

    DownloadProgress progress;
    progress.completed = phase.completed;
    progress.total = count;
    progress.errors = phase.ErrorCount();
    // Let go of the folder: the install phase removes it. (Threads of a
    // stopped run keep their own hold until they end.)
    phase.folder.reset();
    SetStatus(progress.completed < count ? UpdateStatus::DownloadError : UpdateStatus::DownloadOk, owner);
    {
        std::lock_guard lock(phase.progressMutex);
        ReportProgress(phase);
    }
    ShowAndLog(owner, CompletionText(progress));
}

}  // namespace

void RunDownloadPhase(HWND owner) {
    Phase().stop = false;
    RunOnce(owner);
}

bool RunDownloadPhaseWithRetries(HWND owner) {
    DownloadPhaseState& phase = Phase();
    phase.stop = false;
    RunOnce(owner);
    for (int retries = 0;
         ShouldRetryDownload(Process().updateList.Status(), phase.completed, retries, phase.stop); ++retries)
        RunOnce(owner);
    return Process().updateList.Status() == UpdateStatus::DownloadOk;
}

void RequestDownloadStop() { Phase().stop = true; }

void DownloadWorker(int index) {
    DownloadPhaseState& phase = Phase();
    // Whatever happens, the file is counted and the thread leaves the active
    // count: the phase waits for exactly that.
    std::wstring path;
    FileOutcome outcome = FileOutcome::Failed;
    try {
        outcome = FetchRecord(phase, index, path);
    } catch (...) {
        outcome = FileOutcome::Failed;
    }
    try {
        if (outcome == FileOutcome::Failed) CountFailed(phase, index, path);
        else if (outcome == FileOutcome::Skipped) ++phase.completed;
        else CountFetched(phase, index, path);
    } catch (...) {
    }
    ChangeActiveCount(phase, -1);
}

std::wstring BuildFileUrl(const updatefileinfo& record) {
    const DownLoadList& list = Process().updateList;
    return BuildFileUrlWith(record, list.fileUrlTemplate, list.baseUrl);
}

std::wstring DownloadTempPath(const std::wstring& recordPath) {
    return DownloadPathWith(Process().paths.ListCacheBase(), recordPath);
}

int DownloadCompletedCount() { return Phase().completed; }
int DownloadActiveCount() { return Phase().active; }

std::vector<unsigned> DownloadErrorList() {
    DownloadPhaseState& phase = Phase();
    std::lock_guard lock(phase.errorsMutex);
    return phase.errors;
}

bool DownloadStopRequested() { return Phase().stop; }

bool WaitForDownloadThreads(DWORD timeoutMs) {
    DownloadPhaseState& phase = Phase();
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (phase.threads > 0) {
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(1);
    }
    return true;
}

void SetDownloadThreadStarter(DownloadThreadStarter starter) {
    DownloadPhaseState& phase = Phase();
    std::lock_guard lock(phase.starterMutex);
    phase.starter = starter ? std::move(starter) : DownloadThreadStarter(StartOnThreadPool);
}

}  // namespace mf
