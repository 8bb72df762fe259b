// The download phase against nginx serving a real product tree (zip
// variants made by Info-ZIP zip): what lands as pending files, what the
// server was asked for (its access log), what the owner window and a host
// window were told, and the mends: empty files, threads that cannot start,
// a new update run in the same process, stop requests, verified content.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "apply/download_phase.h"
#include "base/handles.h"
#include "base/messages.h"
#include "base/strings.h"
#include "check/update_list_reader.h"
#include "download_test_support.h"
#include "engine/process_state.h"
#include "support/test_host.h"
#include "support/test_servers.h"
#include "support/test_support.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::wstring>;

class DownloadPhase : public test::DownloadFixture {
protected:
    static std::wstring Pending(const std::wstring& path) { return DownloadTempPath(path) + L"_"; }
};

// Whether nginx answered a request for the path with content (200 or 206:
// the downloader asks in ranges).
bool Served(const std::wstring& request, const std::wstring& path) {
    return (StartsWith(request, L"200 ") || StartsWith(request, L"206 ")) && request.substr(4) == path;
}
std::size_t ServedCount(const Lines& requests, const std::wstring& path) {
    return static_cast<std::size_t>(
        std::count_if(requests.begin(), requests.end(), [&](const std::wstring& r) { return Served(r, path); }));
}
std::size_t Occurrences(const std::wstring& text, const std::wstring& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

// Every file of a small release, in every form the tree serves it.
const Lines kRelease = {L"bin\\app.exe",   L"bin\\lib.dll",        L"data\\readme.txt", L"data\\empty.dat",
                        L"data\\empty-zipped.dat", L"plain\\only.txt", L"broken\\bad.bin"};

TEST_F(DownloadPhase, EveryFileLandsAsItsPendingFile) {
    test::ServedTree tree(L"every");
    Use(tree);
    for (const std::wstring& path : kRelease) Add(path);
    test::RecordingWindow owner;
    RunDownloadPhase(owner.window());

    EXPECT_EQ(Status(), UpdateStatus::DownloadOk);
    EXPECT_EQ(DownloadCompletedCount(), static_cast<int>(kRelease.size()));
    EXPECT_TRUE(DownloadErrorList().empty());
    for (const std::wstring& path : kRelease) {
        SCOPED_TRACE(Narrow(path));
        ASSERT_TRUE(FileExists(Pending(path)));
        EXPECT_TRUE(test::ReadFileBytes(Pending(path)) == test::ReadFileBytes(tree.Source(path)));
        // Nothing but the pending file is left of the fetch.
        EXPECT_FALSE(FileExists(DownloadTempPath(path)));
        EXPECT_FALSE(FileExists(DownloadTempPath(path) + L"._.zip"));
    }
    // Both empty files arrive: the one without a zip variant through the
    // plain download, which a multi-part download of 0 bytes used to fail.
    EXPECT_EQ(test::ReadFileBytes(Pending(L"data\\empty.dat")).size(), 0u);

    ASSERT_TRUE(WaitForDownloadThreads(10000));
    const Lines states = owner.PhaseStates();
    for (std::size_t i = 0; i < kRelease.size(); ++i) {
        EXPECT_EQ(std::count(states.begin(), states.end(), L"8:" + std::to_wstring(i)), 1) << i;
        EXPECT_EQ(std::count(states.begin(), states.end(), L"7:" + std::to_wstring(i)), 1) << i;
    }
    // 1040 with 0 follows every 1057/7 (among the messages of that file:
    // other files' threads send in between).
    for (std::size_t index = 0; index < kRelease.size(); ++index) {
        std::vector<test::RecordedMessage> mine;
        for (const test::RecordedMessage& m : owner.Messages())
            if (m.wParam == index && m.message != msg::kPartProgress) mine.push_back(m);
        const auto fetched = std::find_if(mine.begin(), mine.end(), [](const test::RecordedMessage& m) {
            return m.message == msg::kPhaseState && m.lParam == download_state::kFetched;
        });
        ASSERT_TRUE(fetched != mine.end() && fetched + 1 != mine.end()) << index;
        EXPECT_EQ(fetched[1].message, msg::kFileStarted) << index;
        EXPECT_EQ(fetched[1].lParam, 0) << index;
        EXPECT_EQ(mine.back().message, msg::kFileStarted) << index;
    }
    const Lines texts = owner.StatusTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), L"Downloading to temporary directory...");
    EXPECT_TRUE(std::count(texts.begin(), texts.end(), L"Download completed 7/7."));
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                            [](const std::wstring& t) { return StartsWith(t, L"Downloading, complete "); }));

    // The damaged zip variant was dropped for the plain file in the same call.
    const std::wstring& bad = state().updateList[6].status;
    EXPECT_NE(bad.find(L"unzip error["), std::wstring::npos) << Narrow(bad);
    EXPECT_NE(bad.find(L"done[" + tree.baseUrl() + L"/broken/bad.bin]"), std::wstring::npos) << Narrow(bad);
}

TEST_F(DownloadPhase, OneFileAtATimeGoesStrictlyInListOrder) {
    test::ServedTree tree(L"inorder");
    Use(tree);
    const Lines paths = {L"data\\readme.txt", L"bin\\lib.dll", L"bin\\app.exe", L"plain\\only.txt"};
    for (const std::wstring& path : paths) Add(path);
    state().fileConcurrency = 1;
    test::RecordingWindow owner;
    RunDownloadPhase(owner.window());
    ASSERT_EQ(Status(), UpdateStatus::DownloadOk);
    ASSERT_TRUE(WaitForDownloadThreads(10000));

    EXPECT_EQ(owner.PhaseStates(), (Lines{L"8:0", L"7:0", L"8:1", L"7:1", L"8:2", L"7:2", L"8:3", L"7:3"}));
    Lines fetched;
    for (const std::wstring& request : tree.Requests(5))
        if (Served(request, request.substr(4))) fetched.push_back(request.substr(4));
    // Each file's requests (the size query, then its parts) before the next
    // file's; only.txt has no zip variant and comes plain.
    fetched.erase(std::unique(fetched.begin(), fetched.end()), fetched.end());
    EXPECT_EQ(fetched,
              (Lines{L"data/readme.txt._.zip", L"bin/lib.dll._.zip", L"bin/app.exe._.zip", L"plain/only.txt"}));
}

TEST_F(DownloadPhase, PendingFileOfAnEarlierRunIsNotAskedForAgain) {
    test::ServedTree tree(L"earlier");
    Use(tree);
    Add(L"data\\readme.txt");
    Add(L"bin\\lib.dll");
    CreateFolderTree(DownloadTempPath(L"bin"));
    const std::string earlier = "fetched by an earlier run";
    test::WriteFileBytes(Pending(L"bin\\lib.dll"), earlier);
    test::RecordingWindow owner;
    RunDownloadPhase(owner.window());

    EXPECT_EQ(Status(), UpdateStatus::DownloadOk);
    EXPECT_EQ(DownloadCompletedCount(), 2);
    EXPECT_EQ(test::ReadFileBytes(Pending(L"bin\\lib.dll")), earlier);
    ASSERT_TRUE(WaitForDownloadThreads(10000));
    // 1038 and 1039 with the pending file's size, for its index.
    std::vector<LPARAM> sizes;
    for (const test::RecordedMessage& m : owner.Messages())
        if ((m.message == msg::kFileSize || m.message == msg::kFileProgress) && m.wParam == 1)
            sizes.push_back(m.lParam);
    EXPECT_EQ(sizes, (std::vector<LPARAM>{static_cast<LPARAM>(earlier.size()), static_cast<LPARAM>(earlier.size())}));
    const Lines requests = tree.Requests(2);
    EXPECT_FALSE(requests.empty());
    for (const std::wstring& request : requests)
        EXPECT_EQ(request.find(L"lib.dll"), std::wstring::npos) << Narrow(request);
}

TEST_F(DownloadPhase, WithoutZipVariantThePlainFileComesInTheSecondAttempt) {
    test::ServedTree tree(L"plainonly");
    Use(tree);
    Add(L"plain\\only.txt");
    RunDownloadPhase(nullptr);

    EXPECT_EQ(Status(), UpdateStatus::DownloadOk);
    EXPECT_TRUE(test::ReadFileBytes(Pending(L"plain\\only.txt")) ==
                test::ReadFileBytes(tree.Source(L"plain\\only.txt")));
    const std::wstring zipUrl = tree.baseUrl() + L"/plain/only.txt._.zip";
    const std::wstring plainUrl = tree.baseUrl() + L"/plain/only.txt";
    // Both attempts, in order, in the log and in the record's status text.
    const std::wstring log = LogText();
    const std::size_t failed = log.find(L"error[" + zipUrl + L"]");
    const std::size_t done = log.find(L"done[" + plainUrl + L"]");
    ASSERT_NE(failed, std::wstring::npos) << Narrow(log);
    ASSERT_NE(done, std::wstring::npos) << Narrow(log);
    EXPECT_LT(failed, done);
    EXPECT_EQ(state().updateList[0].status, L"error[" + zipUrl + L"]\r\ndone[" + plainUrl + L"]\r\n");
    const Lines requests = tree.Requests(2);
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front(), L"404 plain/only.txt._.zip");
    EXPECT_TRUE(Served(requests.back(), L"plain/only.txt")) << Narrow(requests.back());
}

TEST_F(DownloadPhase, FailedFileIsRetriedAloneAsAnErrorFile) {
    test::ServedTree tree(L"retry");
    Use(tree);
    Add(L"data\\readme.txt");
    Add(L"late\\arrives.txt");  // not on the server yet
    Add(L"bin\\lib.dll");
    test::RecordingWindow owner;
    RunDownloadPhase(owner.window());
    EXPECT_EQ(Status(), UpdateStatus::DownloadError);
    EXPECT_EQ(DownloadErrorList(), (std::vector<unsigned>{1}));
    EXPECT_EQ(DownloadCompletedCount(), 2);
    EXPECT_FALSE(FileExists(Pending(L"late\\arrives.txt")));
    EXPECT_NE(LogText().find(L"error[late\\arrives.txt]"), std::wstring::npos);
    const std::size_t firstRun = tree.Requests(6).size();

    CreateFolderTree(tree.File(L"late"));
    test::WriteFileBytes(tree.File(L"late\\arrives.txt"), "here now");
    RunDownloadPhase(owner.window());
    EXPECT_EQ(Status(), UpdateStatus::DownloadOk);
    EXPECT_EQ(DownloadCompletedCount(), 3);
    EXPECT_TRUE(DownloadErrorList().empty());
    EXPECT_EQ(test::ReadFileBytes(Pending(L"late\\arrives.txt")), "here now");
    const Lines texts = owner.StatusTexts();
    EXPECT_TRUE(std::count(texts.begin(), texts.end(), L"Downloading error files..."));
    EXPECT_TRUE(std::count(texts.begin(), texts.end(), L"Download completed 3/3."));
    const Lines requests = tree.Requests(firstRun + 1);
    for (std::size_t i = firstRun; i < requests.size(); ++i)
        EXPECT_NE(requests[i].find(L"late/arrives.txt"), std::wstring::npos) << Narrow(requests[i]);
}

TEST_F(DownloadPhase, RetriesAtMostFourMoreTimesAndOnlyAfterSomethingArrived) {
    test::ServedTree tree(L"retries");
    Use(tree);
    Add(L"data\\readme.txt");
    Add(L"never\\there.txt");
    state().fileConcurrency = 1;  // the readme's requests come first
    EXPECT_FALSE(RunDownloadPhaseWithRetries(nullptr));
    EXPECT_EQ(Status(), UpdateStatus::DownloadError);
    // One run and four more, each for the failed file only.
    const std::wstring log = LogText();
    EXPECT_EQ(Occurrences(log, L"error[never\\there.txt]"), 5u);
    EXPECT_EQ(Occurrences(log, L"error[" + tree.baseUrl() + L"/never/there.txt._.zip]"), 5u);
    EXPECT_EQ(Occurrences(log, L"Downloading error files..."), 4u);
    EXPECT_EQ(Occurrences(log, L"done[data\\readme.txt]"), 1u);
    // The server saw the readme only before the first failure of the other.
    const Lines requests = tree.Requests(1);
    const auto firstFailure = std::find(requests.begin(), requests.end(), L"404 never/there.txt._.zip");
    ASSERT_TRUE(firstFailure != requests.end());
    EXPECT_EQ(ServedCount(Lines(firstFailure, requests.end()), L"data/readme.txt._.zip"), 0u);
}

TEST_F(DownloadPhase, NoRetryWhenNothingEverArrived) {
    test::ServedTree tree(L"nothing");
    Use(tree);
    Add(L"never\\one.txt");
    Add(L"never\\two.txt");
    EXPECT_FALSE(RunDownloadPhaseWithRetries(nullptr));
    EXPECT_EQ(Status(), UpdateStatus::DownloadError);
    EXPECT_EQ(DownloadCompletedCount(), 0);
    const std::wstring log = LogText();
    EXPECT_EQ(Occurrences(log, L"error[never\\one.txt]"), 1u);
    EXPECT_EQ(Occurrences(log, L"Downloading error files..."), 0u);
}

TEST_F(DownloadPhase, RecordsWithNothingToFetchFinishWithoutARequest) {
    test::ServedTree tree(L"nothingtofetch");
    Use(tree);
    Add(L"data\\readme.txt", OPER_DEL);
    Add(L"bin\\lib.dll", OPER_DEL | OPER_RUN);
    Add(L"bin\\app.exe", 0x10);
    Add(L"plain\\only.txt", 0x20);
    test::RecordingWindow owner;
    RunDownloadPhase(owner.window());
    EXPECT_EQ(Status(), UpdateStatus::DownloadOk);
    EXPECT_EQ(DownloadCompletedCount(), 4);
    ASSERT_TRUE(WaitForDownloadThreads(10000));
    EXPECT_TRUE(owner.PhaseStates().empty());
    ::Sleep(200);  // a request would have been logged by now
    EXPECT_TRUE(tree.Requests().empty());
}

TEST_F(DownloadPhase, ThreadThatCannotStartCountsItsFileAsFailed) {
    test::ServedTree tree(L"nothread");
    Use(tree);
    Add(L"data\\readme.txt");
    Add(L"bin\\lib.dll");
    Add(L"plain\\only.txt");
    SetDownloadThreadStarter([](LPTHREAD_START_ROUTINE routine, void* parameter) {
        if (reinterpret_cast<INT_PTR>(parameter) == 1) return false;
        UniqueHandle thread(::CreateThread(nullptr, 0, routine, parameter, 0, nullptr));
        return static_cast<bool>(thread);
    });
    test::RecordingWindow owner;
    std::thread phase([&] { RunDownloadPhase(owner.window()); });
    // The phase ends instead of waiting for a file nobody fetches.
    const bool ended = test::WaitUntil([&] { return Status() == UpdateStatus::DownloadError; }, 30s);
    if (!ended) RequestDownloadStop();
    phase.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(DownloadErrorList(), (std::vector<unsigned>{1}));
    EXPECT_EQ(DownloadCompletedCount(), 2);
    ASSERT_TRUE(WaitForDownloadThreads(10000));
    const Lines states = owner.PhaseStates();
    EXPECT_TRUE(std::count(states.begin(), states.end(), L"0:1"));
    EXPECT_NE(LogText().find(L"error[bin\\lib.dll]"), std::wstring::npos);
}

TEST_F(DownloadPhase, RunAfterANewCheckCountsOnlyItsOwnFiles) {
    test::ServedTree tree(L"newrun");
    Use(tree);
    Add(L"data\\readme.txt");
    Add(L"bin\\lib.dll");
    RunDownloadPhase(nullptr);
    ASSERT_EQ(Status(), UpdateStatus::DownloadOk);
    ASSERT_TRUE(WaitForDownloadThreads(10000));

    // A new check in the same process: a list of one file that fails. The
    // two files of the earlier run must not make it look finished.
    state().updateList.SetSize(0);
    Add(L"never\\there.txt");
    state().updateList.SetStatus(UpdateStatus::CheckRemoteOk);
    RunDownloadPhase(nullptr);
    EXPECT_EQ(Status(), UpdateStatus::DownloadError);
    EXPECT_EQ(DownloadCompletedCount(), 0);
    EXPECT_EQ(DownloadErrorList(), (std::vector<unsigned>{0}));
}

TEST_F(DownloadPhase, StopEndsThePhaseAndItsRetries) {
    test::ServedTree tree(L"stop");
    Use(tree);
    // A file that arrives, so that a retry would be due after the run...
    Add(L"data\\readme.txt");
    // ...then slow files: one stream each from the rate-limited location.
    // nginx lets the first second's worth of bytes (512 KiB here) through at
    // full speed, so a file must be several times that to stay in flight for
    // seconds rather than milliseconds.
    CreateFolderTree(tree.File(L"slow"));
    test::WriteFileBytes(tree.File(L"slow\\big.bin"), std::string(2u << 20, 'x'));
    const std::wstring slowUrl = test::ServerUrl(L"nginx") + L"limited/dl/stop/slow/big.bin";
    for (int i = 0; i < 5; ++i) {
        updatefileinfo record;
        record.path = L"slow\\file" + std::to_wstring(i) + L".exe";
        record.url = slowUrl;
        record.ver = L"1";
        state().updateList.Add(record);
    }
    state().fileConcurrency = 1;
    state().fileConnections = 1;
    test::RecordingWindow owner;
    bool allFetched = true;
    std::thread phase([&] { allFetched = RunDownloadPhaseWithRetries(owner.window()); });
    // One file at a time: the first slow file starts once the readme is in.
    const bool slowStarted = test::WaitUntil(
        [&] {
            const Lines states = owner.PhaseStates();
            return std::count(states.begin(), states.end(), L"8:1") > 0;
        },
        30s, 5ms);
    RequestDownloadStop();
    phase.join();
    ASSERT_TRUE(slowStarted);
    // The phase ended while the slow file was still streaming.
    const Lines atEnd = owner.PhaseStates();
    EXPECT_EQ(atEnd, (Lines{L"8:0", L"7:0", L"8:1"}));
    EXPECT_FALSE(FileExists(Pending(L"slow\\file0.exe")));
    EXPECT_FALSE(allFetched);
    EXPECT_EQ(Status(), UpdateStatus::DownloadError);
    EXPECT_TRUE(DownloadStopRequested());
    EXPECT_TRUE(FileExists(Pending(L"data\\readme.txt")));

    // The file in flight finishes on its own; no file after it was started,
    // and no retry followed.
    ASSERT_TRUE(WaitForDownloadThreads(30000));
    for (const std::wstring& s : owner.PhaseStates())
        EXPECT_TRUE(EndsWith(s, L":0") || EndsWith(s, L":1")) << Narrow(s);
    for (int i = 1; i < 5; ++i) EXPECT_FALSE(FileExists(Pending(L"slow\\file" + std::to_wstring(i) + L".exe")));
    const Lines texts = owner.StatusTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), L"Downloading to temporary directory..."), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), L"Downloading error files..."), 0);
}

TEST_F(DownloadPhase, HostWindowFollowsWithoutAnOwnerWindow) {
    test::ServedTree tree(L"host");
    Use(tree);
    Add(L"data\\readme.txt");
    Add(L"bin\\lib.dll");
    Add(L"plain\\only.txt");
    test::TestHost host;
    ASSERT_NE(host.window(), nullptr);
    state().notifications.Register(host.window());
    RunDownloadPhase(nullptr);
    EXPECT_EQ(Status(), UpdateStatus::DownloadOk);
    ASSERT_TRUE(WaitForDownloadThreads(10000));
    EXPECT_EQ(host.Lines(L"status"), (Lines{L"status 4 3", L"status 6 3"}));
    const Lines counts = host.Lines(L"filecount");
    ASSERT_FALSE(counts.empty());
    EXPECT_TRUE(std::count(counts.begin(), counts.end(), L"filecount 3 3"));
    for (const std::wstring& line : counts) EXPECT_TRUE(EndsWith(line, L" 3")) << Narrow(line);
    EXPECT_FALSE(host.Lines(L"bytes").empty());

    // A run with a file that fails ends at 5 for the host too.
    state().updateList.SetSize(0);
    Add(L"never\\there.txt");
    state().updateList.SetStatus(UpdateStatus::CheckRemoteOk);
    RunDownloadPhase(nullptr);
    ASSERT_TRUE(WaitForDownloadThreads(10000));
    EXPECT_EQ(host.Lines(L"status"), (Lines{L"status 4 3", L"status 6 3", L"status 4 1", L"status 5 1"}));
    state().notifications.ReleaseAll();
}

// Lists whose md5 keys are (or are not declared) content digests.
class VerifiedContent : public DownloadPhase {
protected:
    void Read(const test::ServedTree& tree, const std::wstring& list) {
        Use(tree);
        ASSERT_TRUE(ReadUpdateList(tree.File(list), state().updateList, true));
        state().updateList.baseUrl = tree.baseUrl();
    }
    int IndexOf(const std::wstring& path) const {
        for (int i = 0; i < state().updateList.GetSize(); ++i)
            if (state().updateList[i].path == path) return i;
        return -1;
    }
    ComInit com_;
};

TEST_F(VerifiedContent, MarkedListNeverMakesAMismatchPending) {
    test::ServedTree tree(L"marked");
    Read(tree, L"marked.xml");
    ASSERT_EQ(state().updateList.GetSize(), 9);
    const int mismatch = IndexOf(L"wrong\\mismatch.txt");
    EXPECT_TRUE(state().updateList[mismatch].md5key);
    EXPECT_FALSE(state().updateList[IndexOf(L"data\\versioned.txt")].md5key);
    RunDownloadPhase(nullptr);

    EXPECT_EQ(Status(), UpdateStatus::DownloadError);
    EXPECT_EQ(DownloadErrorList(), (std::vector<unsigned>{static_cast<unsigned>(mismatch)}));
    EXPECT_FALSE(FileExists(Pending(L"wrong\\mismatch.txt")));
    EXPECT_FALSE(FileExists(DownloadTempPath(L"wrong\\mismatch.txt")));
    // Both forms were fetched, each failed its digest and was deleted.
    const std::wstring url = tree.baseUrl() + L"/wrong/mismatch.txt";
    EXPECT_EQ(state().updateList[mismatch].status,
              L"done[" + url + L"._.zip]\r\nunzip ok[" + DownloadTempPath(L"wrong\\mismatch.txt") + L"]\r\nmd5 error[" +
                  url + L"._.zip]\r\ndone[" + url + L"]\r\nmd5 error[" + url + L"]\r\n");
    EXPECT_NE(LogText().find(L"md5 error[" + url + L"]"), std::wstring::npos);
    // The other files, whose digests match (upper-case keys included), and
    // the one keyed by its version arrived.
    for (const std::wstring& path : kRelease)
        EXPECT_TRUE(test::ReadFileBytes(Pending(path)) == test::ReadFileBytes(tree.Source(path))) << Narrow(path);
    EXPECT_TRUE(FileExists(Pending(L"data\\versioned.txt")));
}

TEST_F(VerifiedContent, UnmarkedListWithTheSameMistakeBehavesAsBefore) {
    test::ServedTree tree(L"unmarked");
    Read(tree, L"unmarked.xml");
    for (const updatefileinfo& record : state().updateList.Records()) EXPECT_FALSE(record.md5key);
    RunDownloadPhase(nullptr);
    EXPECT_EQ(Status(), UpdateStatus::DownloadOk);
    EXPECT_TRUE(test::ReadFileBytes(Pending(L"wrong\\mismatch.txt")) ==
                test::ReadFileBytes(tree.Source(L"wrong\\mismatch.txt")));
    EXPECT_EQ(LogText().find(L"md5 error"), std::wstring::npos);
}

TEST_F(VerifiedContent, StalePendingFileOfAMarkedListIsFetchedAgain) {
    test::ServedTree tree(L"stale");
    Read(tree, L"marked.xml");
    CreateFolderTree(DownloadTempPath(L"data"));
    test::WriteFileBytes(Pending(L"data\\readme.txt"), "the previous release");
    test::WriteFileBytes(Pending(L"data\\empty.dat"), "");
    RunDownloadPhase(nullptr);
    // The readme was fetched anew; the empty file's pending file matched
    // its digest and was kept.
    EXPECT_TRUE(test::ReadFileBytes(Pending(L"data\\readme.txt")) ==
                test::ReadFileBytes(tree.Source(L"data\\readme.txt")));
    EXPECT_NE(LogText().find(L"md5 error[" + Pending(L"data\\readme.txt") + L"]"), std::wstring::npos);
    const Lines requests = tree.Requests(4);
    EXPECT_TRUE(ServedCount(requests, L"data/readme.txt._.zip"));
    EXPECT_FALSE(ServedCount(requests, L"data/empty.dat"));
    EXPECT_EQ(std::count(requests.begin(), requests.end(), L"404 data/empty.dat._.zip"), 0);
}

}  // namespace
}  // namespace mf
