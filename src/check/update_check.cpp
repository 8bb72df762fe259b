#include "check/update_check.h"

#include <objbase.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

#include "base/messages.h"
#include "base/named_lock.h"
#include "base/strings.h"
#include "check/background_refresh.h"
#include "check/check_hour.h"
#include "check/compare_lists.h"
#include "check/list_parameters.h"
#include "check/list_records.h"
#include "check/main_list_merge.h"
#include "check/server_defaults.h"
#include "check/update_list_reader.h"
#include "check/version_reply.h"
#include "engine/asking.h"
#include "engine/installed_release.h"
#include "engine/process_state.h"
#include "engine/status.h"
#include "engine/targets.h"
#include "net/fetch_file.h"
#include "net/internet.h"
#include "net/list_signature.h"

namespace mf {

namespace {

// Results of the check's worker threads: 0 while pending, 2 done, 3 failed.
constexpr int kPending = 0;
constexpr int kDone = 2;
constexpr int kFailed = 3;

// Shared with the worker threads, each group under its named lock. The
// threads are never joined, and a wait may give up on them. So every wait
// opens a round, and a thread reports only into the round it was started
// for: a result that comes after its waiter gave up is dropped, never
// written into what the check is reading by then (the version text and the
// list URLs once lived in the update list, written by whichever thread
// came last).
// Process-wide: a fresh state has no round opened and every result pending.
struct CheckThreadValues : ProcessWide {
    // lock 0xF000C
    unsigned listRound = 0;
    int listDownload = kPending;
    // lock 0xF000D
    unsigned versionRound = 0;
    int versionQuery = kPending;
    VersionReply versionReply;
    // lock 0xF000B
    unsigned candidateRound = 0;
    int pendingCandidates = 0;
    std::wstring winningUrl;
};

CheckThreadValues& Shared() { return Process().Shared<CheckThreadValues>(); }

template <class Read>
int ReadShared(long lock, Read read) {
    ScopedNamedLock guard(lock);
    return read(Shared());
}

template <class Write>
void WriteShared(long lock, Write write) {
    ScopedNamedLock guard(lock);
    write(Shared());
}

long PollCount(const wchar_t* key, const wchar_t* fallback) {
    return WaitPollsOf(ReadConfigOr(L"Mirefold", key, fallback), ParseLong(fallback));
}

// Opens a round of a wait: the status pending, the round number new.
unsigned OpenRound(long lock, int CheckThreadValues::*status, unsigned CheckThreadValues::*round) {
    ScopedNamedLock guard(lock);
    CheckThreadValues& v = Shared();
    v.*status = kPending;
    return ++(v.*round);
}

// Polls a status under its lock every millisecond until it is no longer
// pending or the polls run out, then closes the round under the same lock
// hold in which the result is taken (`take`, when the status is kDone), so
// that nothing a thread reports afterwards reaches the caller. The status,
// or kFailed when the polls ran out.
template <class Take>
int WaitAndCloseRound(long lock, int CheckThreadValues::*status, unsigned CheckThreadValues::*round, long polls,
                      Take take) {
    for (long i = 0; i < polls; ++i) {
        const int seen = ReadShared(lock, [&](CheckThreadValues& v) { return v.*status; });
        if (seen == kDone || seen == kFailed) break;
        ::Sleep(1);
    }
    ScopedNamedLock guard(lock);
    CheckThreadValues& v = Shared();
    ++(v.*round);
    const int result = v.*status == kDone ? kDone : kFailed;
    if (result == kDone) take(v);
    return result;
}

template <class Work>
DWORD WINAPI DetachedEntry(void* parameter) {
    std::unique_ptr<Work> body(static_cast<Work*>(parameter));
    try {
        (*body)();
    } catch (...) {
    }
    return 0;
}

// Starts a thread that owns `work`; its handle is closed at once.
template <class Work>
bool StartDetached(Work work) {
    auto owned = std::make_unique<Work>(std::move(work));
    HANDLE thread = ::CreateThread(nullptr, 0, DetachedEntry<Work>, owned.get(), 0, nullptr);
    if (thread == nullptr) return false;
    (void)owned.release();
    ::CloseHandle(thread);
    return true;
}

std::wstring ConfigFileName() {
    return Process().run.executableBaseName.empty() ? L"mirefold.ini" : Process().run.executableBaseName + L".ini";
}

std::wstring MissingListUrlText() {
    return Replaced(Translate(L"can't to get [UNDATEINFO]-ListURL from mirefold.ini"), L"mirefold.ini",
                    ConfigFileName());
}

void WriteSampleConfiguration() {
    WriteConfig(L"Mirefold", L"Language", Translate(L"mirefold.lan"));
    WriteConfig(L"Mirefold", L"QuickCheck", L"0");
    WriteConfig(L"UPDATEINFO", L"ListURL", kSampleListUrl);
    WriteConfig(L"APPLICATION", L"Application", L"demo.exe");
    WriteConfig(L"APPLICATION", L"Name", L"Mirefold demo");
}

bool QuickCheckAllowed() {
    // The elevated instance checks what it was handed against the server's
    // list; an earlier download in the user's temporary folder is no proof.
    if (Process().run.elevatedRelaunch) return false;
    const RunMode mode = Process().run.mode;
    if (mode != RunMode::CheckForUpdates && mode != RunMode::AppEnterNoPrompt && mode != RunMode::AppEnter)
        return false;
    // The previous download was merged after its signatures were checked;
    // what lies in the temporary folder now carries none.
    if (ListsMustBeSigned()) return false;
    return ReadConfigFlag(L"Mirefold", L"QuickCheck", L"1");
}

// The product list and the main list through the list download thread.
bool DownloadListsInBackground(const std::wstring& listPath) {
    const unsigned round =
        OpenRound(lock_id::kListDownload, &CheckThreadValues::listDownload, &CheckThreadValues::listRound);
    const bool started = StartDetached([listPath, round] {
        const bool merged = DownloadAndMergeLists(listPath);
        WriteShared(lock_id::kListDownload, [&](CheckThreadValues& v) {
            if (v.listRound == round) v.listDownload = merged ? kDone : kFailed;
        });
    });
    if (!started) WriteShared(lock_id::kListDownload, [](CheckThreadValues& v) { v.listDownload = kFailed; });
    return WaitAndCloseRound(lock_id::kListDownload, &CheckThreadValues::listDownload, &CheckThreadValues::listRound,
                             PollCount(L"TimeOut", L"150"), [](CheckThreadValues&) {}) == kDone;
}

// One candidate list of a version reply: the first that arrives in its
// round becomes the product list, the others are thrown away.
void FetchCandidate(const std::wstring& url, const std::wstring& file, const std::wstring& listPath, unsigned round) {
    const bool fetched =
        FetchFile(nullptr, kListFileIndex, url, file) == 0 && AcceptFetchedList(url, file, ListRole::Product);
    ScopedNamedLock guard(lock_id::kCandidate);
    CheckThreadValues& v = Shared();
    if (v.candidateRound != round) {
        if (fetched) DeleteFileForce(file);
        return;
    }
    if (fetched) {
        if (!v.winningUrl.empty()) {
            DeleteFileForce(file);
        } else {
            v.winningUrl = url;
            ReplaceFileWithRetry(file, listPath);
        }
    }
    --v.pendingCandidates;
}

bool DownloadCandidates(const std::wstring& listPath) {
    DownLoadList& list = Process().updateList;
    const std::vector<std::wstring> urls = list.listUrls;
    unsigned round = 0;
    WriteShared(lock_id::kCandidate, [&](CheckThreadValues& v) {
        v.pendingCandidates = static_cast<int>(urls.size());
        v.winningUrl.clear();
        round = ++v.candidateRound;
    });
    for (std::size_t i = 0; i < urls.size(); ++i) {
        const std::wstring url = SubstituteListParameters(urls[i]);
        WriteLog(L"download:" + url);
        const std::wstring file = listPath + std::to_wstring(i);
        DeleteFileForce(file);
        if (!StartDetached([url, file, listPath, round] { FetchCandidate(url, file, listPath, round); }))
            WriteShared(lock_id::kCandidate, [](CheckThreadValues& v) { --v.pendingCandidates; });
    }
    const long polls = PollCount(L"MultCheckTimeOut", L"60");
    for (long i = 0; i < polls; ++i) {
        const bool settled = ReadShared(lock_id::kCandidate, [](CheckThreadValues& v) {
            return !v.winningUrl.empty() || v.pendingCandidates < 1;
        });
        if (settled) break;
        ::Sleep(1);
    }
    std::wstring winner;
    WriteShared(lock_id::kCandidate, [&](CheckThreadValues& v) {
        winner = v.winningUrl;
        ++v.candidateRound;
    });
    if (winner.empty()) return false;
    SetListBase(winner);
    list.listUrls.clear();
    return true;
}

// Fetches the product list to `listPath` (and copies it for the next quick
// check). False when it could not be fetched.
bool DownloadProductList(HWND ownerWindow, const std::wstring& listPath, const std::wstring& listUrl) {
    DeleteFileForce(listPath);
    Process().run.listSources.Remember(listPath, listUrl);
    WriteShared(lock_id::kCandidate, [](CheckThreadValues& v) { v.winningUrl.clear(); });

    DownLoadList& list = Process().updateList;
    bool fetched = true;
    if (!list.listUrls.empty()) {
        fetched = DownloadCandidates(listPath);
    } else if (list.versionText.empty()) {
        fetched = DownloadListsInBackground(listPath);
    }
    // (A version reply without list URLs names nothing to download: the
    // list stays absent and nothing needs updating.)
    if (!fetched) {
        std::wstring text = Translate(L"error when download the list file.");
        if (list.versionText.empty()) text += L"\n" + listUrl;
        ShowAndLog(ownerWindow, text);
        return false;
    }
    ::CopyFileW(listPath.c_str(), QuickCheckCopyOf(listPath).c_str(), FALSE);
    return true;
}

// The quick check reads the copy of the last full download.
std::wstring TakePreviousDownload(const std::wstring& listPath) {
    const std::wstring previous = QuickCheckCopyOf(listPath);
    ::MoveFileW(listPath.c_str(), previous.c_str());
    Process().rememberedListPath = previous;
    StartStartupOnlyRun();
    return previous;
}

bool AnyTargetMissing(const updatefileinfo& record) {
    for (const std::wstring& target : ExpandTargets(record.path, record.desname)) {
        if (::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    }
    return false;
}

}  // namespace

long WaitPollsOf(const std::wstring& value, long defaultUnits) {
    const std::wstring text = Trim(value);
    const std::size_t digit = text.find_first_of(L"0123456789");
    const bool number = digit != std::wstring::npos && text.find_first_not_of(L"+- \t") >= digit;
    const std::int64_t units = number ? ParseInt64(text) : defaultUnits;
    return static_cast<long>(std::clamp<std::int64_t>(units, 1, kMaxWaitUnits) * 100);
}

std::wstring ListTempPath() {
    ProcessState& state = Process();
    if (!state.rememberedListPath.empty()) return state.rememberedListPath;
    return state.paths.ListFile();
}

std::wstring ListBaseOf(const std::wstring& url) {
    const std::size_t found = url.size() > 1 ? url.find_last_of(L'/') : std::wstring::npos;
    const std::size_t k = (found == std::wstring::npos || found < 1) ? 0 : found;
    if (k + 2 < url.size()) return url.substr(0, k);
    return url;
}

void SetListBase(const std::wstring& url) { Process().updateList.baseUrl = ListBaseOf(url); }

bool ValidateListConfig(HWND ownerWindow, bool interactive) {
    if (ReadConfig(L"UPDATEINFO", L"ListURL").empty() && interactive) {
        const std::wstring question = MissingListUrlText() + L"\n" + Translate(L"Make a sample?");
        if (Ask({ownerWindow, question, MB_YESNO | MB_ICONQUESTION, IDNO, L"Mirefold"}) == IDYES)
            WriteSampleConfiguration();
    }
    const std::wstring listUrl = ReadConfig(L"UPDATEINFO", L"ListURL");
    if (!listUrl.empty()) {
        SetListBase(listUrl);
        return true;
    }
    ShowAndLog(ownerWindow, MissingListUrlText());
    return false;
}

bool DownloadAndMergeLists(const std::wstring& listPath) {
    const ComInit com;
    auto fetch = [](const std::wstring& url, const std::wstring& path, ListRole role) {
        WriteLog(L"download:" + url);
        const bool fetched =
            FetchFile(nullptr, kListFileIndex, url, path) == 0 || HttpGetToFile(url, path) == kGetToFileDone;
        return fetched && AcceptFetchedList(url, path, role);
    };
    const std::wstring mainPath = MainListFileOf(listPath);
    const bool product =
        fetch(SubstituteListParameters(ReadConfig(L"UPDATEINFO", L"ListURL")), listPath, ListRole::Product);
    const bool main =
        fetch(ReadConfigOr(L"UPDATEINFO", L"MainListURL", kDefaultMainListUrl), mainPath, ListRole::Main);
    return product && main && MergeMainList(listPath, mainPath) == 1;
}

std::optional<VersionReply> QueryVersion() {
    const std::wstring url = SubstituteListParameters(ReadConfig(L"UPDATEINFO", L"ListURL"));
    WriteLog(L"download:" + url);
    MemorySink reply;
    if (!HttpGetToSink(url, reply)) return std::nullopt;
    return ParseVersionReply(JoinReplyLines(reply.data()));
}

bool ReadAndCompareLists(const std::wstring& serverList, const std::wstring& localList, DownLoadList& result) {
    // Both lists are read into compact entries; only the records selected
    // become full records (a tenth of a list, or none, in a usual update).
    ListEntries server;
    DownLoadList serverValues;
    std::wstring formatError;
    const bool serverRead = ReadUpdateListEntries(serverList, server, serverValues, true, &formatError);
    if (serverRead) RemoveListIdentifier(serverList);
    if (!serverRead && FileExists(serverList)) {
        // A server list that is there but cannot be read whole is a failed
        // list: reading what could be read would report a smaller update as
        // the whole one. (An absent list, as the quick check may find, has
        // nothing to update.)
        if (formatError.empty())
            formatError = ListFormatErrorText(Translate(L"The xml file format error!"), true,
                                              ReadConfig(L"UPDATEINFO", L"ListURL"), L"");
        TellError(formatError);
        return false;
    }
    // An installed list that cannot be read contributes no records: every
    // file of the server list then counts as new.
    ListEntries local;
    DownLoadList localValues;
    formatError.clear();
    if (ReadUpdateListEntries(localList, local, localValues, false, &formatError)) {
        RemoveListIdentifier(localList);
    } else {
        TellError(formatError);
    }
    result.listIdentifier = serverValues.listIdentifier;
    result.fileUrlTemplate = serverValues.fileUrlTemplate;
    const bool checkLost = ReadConfigFlag(L"Mirefold", L"CheckLostFile", L"0");
    auto anyTargetMissing = [&](const ListEntries::Key& key) { return AnyTargetMissing(server.Record(key.index)); };
    for (const std::size_t index : SelectRecordsToUpdate(server, local, checkLost, anyTargetMissing))
        result.Add(server.Record(index));
    return true;
}

bool CheckForUpdates(HWND ownerWindow) {
    const std::wstring listUrl = ReadConfig(L"UPDATEINFO", L"ListURL");
    if (listUrl.size() < 5) {
        ShowAndLog(ownerWindow, Translate(L"mirefold.ini -> UPDATEINFO -> ListURL can't empty"));
        return false;
    }
    DownLoadList& list = Process().updateList;
    list.SetSize(0);
    list.messageText.clear();

    ShowAndLog(ownerWindow, Translate(L"try to download the list file..."));
    std::wstring listPath = ListTempPath();
    const bool quick = QuickCheckAllowed();
    if (ReadConfigFlag(L"APPLICATION", L"CheckVerNumber", L"0") || !quick) {
        if (!DownloadProductList(ownerWindow, listPath, listUrl)) return false;
    } else {
        listPath = TakePreviousDownload(listPath);
    }
    list.listPath = listPath;

    if (!ReadAndCompareLists(listPath, ReduceBackslashes(GetWorkFolder() + L"\\mirefold.xml"), list)) return false;
    SetListSerial(list, ReadListMarks(listPath).serial);
    list.FinishCheckedList();
    if (!list.messageText.empty()) SendMessageText(list.messageText);
    return true;
}

void CheckAndReport(HWND owner) {
    const ComInit com;
    const long long currentHour = CurrentCheckHour();
    const long long storedHour = StoredCheckHour();
    DownLoadList& list = Process().updateList;

    if (!list.listUrls.empty() || list.Status() == UpdateStatus::None) {
        SetStatus(UpdateStatus::CheckRemote, owner);
        list.listPath = ListTempPath();
        if (ValidateListConfig(owner, owner != nullptr) && CheckForUpdates(owner)) {
            if (CheckHoursFarApart(currentHour, storedHour)) StartStartupOnlyRun();
            if (owner != nullptr) {
                HWND parent = ::GetParent(owner);
                ::PostMessageW(parent != nullptr ? parent : owner, WM_COMMAND, cmd::kCheckFinished, 0);
            }
            ShowAndLog(owner, TranslateFormat(L"Found %d files need to update...", list.GetSize()));
            SetStatus(UpdateStatus::CheckRemoteOk, owner);
            if (list.GetSize() == 0) ShowAndLog(owner, Translate(L"Find nothing to update."));
        }
    }
    if (list.Status() != UpdateStatus::CheckRemoteOk) {
        SetStatus(UpdateStatus::CheckRemoteError, owner);
        list.SetSize(0);
        list.messageText.clear();
    }
}

void RunUpdateCheck(HWND owner) {
    DownLoadList& list = Process().updateList;
    list.versionText.clear();
    list.listUrls.clear();
    if (!ReadConfigFlag(L"APPLICATION", L"CheckVerNumber", L"0")) {
        CheckAndReport(owner);
        return;
    }
    const unsigned round =
        OpenRound(lock_id::kVersionQuery, &CheckThreadValues::versionQuery, &CheckThreadValues::versionRound);
    const bool started = StartDetached([round] {
        std::optional<VersionReply> reply = QueryVersion();
        bool late = false;
        WriteShared(lock_id::kVersionQuery, [&](CheckThreadValues& v) {
            late = v.versionRound != round;
            if (late) return;
            v.versionQuery = reply ? kDone : kFailed;
            v.versionReply = reply ? std::move(*reply) : VersionReply{};
        });
        if (late) WriteLog(L"The version reply came after the check stopped waiting; it is dropped.");
    });
    if (!started) WriteShared(lock_id::kVersionQuery, [](CheckThreadValues& v) { v.versionQuery = kFailed; });
    VersionReply reply;
    const int result = WaitAndCloseRound(lock_id::kVersionQuery, &CheckThreadValues::versionQuery,
                                         &CheckThreadValues::versionRound, PollCount(L"TimeOut", L"150"),
                                         [&](CheckThreadValues& v) { reply = std::move(v.versionReply); });
    // Only the waiting thread writes the update list.
    if (result == kDone) {
        if (!reply.version.empty()) list.versionText = reply.version;
        for (std::wstring& listUrl : reply.listUrls) list.listUrls.push_back(std::move(listUrl));
    }
    const bool known = result == kDone && !list.versionText.empty();
    SetStatus(known ? UpdateStatus::CheckRemoteOk : UpdateStatus::CheckRemoteError, owner);
}

DWORD WINAPI RunUpdateCheckThread(void* owner) {
    try {
        RunUpdateCheck(static_cast<HWND>(owner));
    } catch (...) {
    }
    return 0;
}

}  // namespace mf
