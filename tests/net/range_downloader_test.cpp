// The ranged downloader against nginx and the fault server: whole files,
// servers that ignore ranges or want escaped names, cut connections, and the
// messages a window receives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "base/messages.h"
#include "base/strings.h"
#include "engine/paths.h"
#include "net/block_plan.h"
#include "net/range_downloader.h"
#include "net_test_support.h"

namespace mf {
namespace {

using test::FreshEngine;
using test::RecordedMessage;
using test::RecordingWindow;
using test::ServedFile;
using test::ServerUrl;

// Names in the folder that are left-over part files.
std::vector<std::wstring> PartFiles(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"\\*.part*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
}

std::wstring Fault(const std::wstring& rest) { return test::FaultUrl(rest); }

TEST(RangeDownloader, PartsJoinToTheSameBytes) {
    FreshEngine env;
    const std::string body = test::RandomBytes(3000000, 11);
    ServedFile file(L"parallel.bin", body);
    const std::wstring target = env.folder() / L"parallel.bin";
    CRangeDownloader downloader;
    ASSERT_EQ(downloader.Download(file.url(), target, false, 0, nullptr), 1);
    EXPECT_EQ(downloader.partCount(), 11);
    EXPECT_TRUE(test::ReadFileBytes(target) == body);
    EXPECT_TRUE(PartFiles(env.folder().path()).empty());
}

// Lengths of the blocks of a plan, pinned here: a file of `size` bytes in
// blocks of `block` bytes, the last one shorter.
std::vector<LPARAM> BlockLengths(std::int32_t size, std::int32_t block) {
    std::vector<LPARAM> lengths;
    for (std::int32_t offset = 0; offset < size; offset += block) lengths.push_back(std::min(block, size - offset));
    return lengths;
}

// The highest total each block reported (message 1058) under `word`.
std::vector<LPARAM> BlockTotals(const RecordingWindow& recorder, int word) {
    std::map<std::int32_t, LPARAM> totals;
    for (const RecordedMessage& m : recorder.Messages(msg::kPartProgress)) {
        EXPECT_EQ(m.wParam & 0xFFFF, static_cast<WPARAM>(word));
        auto& total = totals[static_cast<std::int32_t>(m.wParam >> 16)];
        total = std::max(total, m.lParam);
    }
    std::vector<LPARAM> result;
    for (const auto& [index, total] : totals) {
        EXPECT_EQ(index, static_cast<std::int32_t>(result.size()));
        result.push_back(total);
    }
    return result;
}

TEST(RangeDownloader, WindowReceivesSizeBlockRunningAndProgress) {
    FreshEngine env;
    const std::int32_t size = 300000;
    ServedFile file(L"messages.bin", test::RandomBytes(size, 5));
    RecordingWindow recorder;
    CRangeDownloader downloader;
    const int word = 7;
    ASSERT_EQ(downloader.Download(file.url(), env.folder() / L"messages.bin", false, word, recorder.window()), 1);

    const std::vector<RecordedMessage> all = recorder.Messages();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[0].message, msg::kFileSize);
    EXPECT_EQ(all[0].lParam, size);
    EXPECT_EQ(all[1].message, msg::kBlockSize);
    // 300000 / 8 * 3 / 4 is below the smallest block: 51200.
    EXPECT_EQ(all[1].lParam, 51200);
    EXPECT_EQ(all.back().message, msg::kFileProgress);
    EXPECT_EQ(all.back().lParam, size);

    // Six blocks, each read in one chunk (no read crosses a block's end).
    const auto progress = recorder.Messages(msg::kFileProgress);
    EXPECT_EQ(progress.size(), 6u + 1u);  // one per chunk, one at the end
    for (const RecordedMessage& m : progress) {
        EXPECT_EQ(m.wParam, static_cast<WPARAM>(word));
        EXPECT_TRUE(m.lParam > 0 && m.lParam <= size) << m.lParam;
    }
    EXPECT_EQ(BlockTotals(recorder, word), BlockLengths(size, 51200));

    const auto running = recorder.Messages(msg::kFileStarted);
    ASSERT_FALSE(running.empty());
    for (const RecordedMessage& m : running) EXPECT_TRUE(m.lParam >= 0 && m.lParam <= 8) << m.lParam;
}

// More blocks than connections: a connection fetches consecutive blocks as
// one range, and each block's progress still arrives under its own index,
// up to exactly its length.
TEST(RangeDownloader, EveryBlockReportsUnderItsIndexWhenAConnectionFetchesSeveral) {
    FreshEngine env;
    const std::int32_t size = 3000000;
    const std::string body = test::RandomBytes(size, 17);
    ServedFile file(L"ranges.bin", body);
    RecordingWindow recorder;
    CRangeDownloader downloader;
    const std::wstring target = env.folder() / L"ranges.bin";
    ASSERT_EQ(downloader.Download(file.url(), target, false, 9, recorder.window()), 1);
    EXPECT_TRUE(test::ReadFileBytes(target) == body);

    // Blocks of 3000000 / 8 * 3 / 4 = 281250, less 674 for a multiple of 1024.
    ASSERT_EQ(downloader.partCount(), 11);
    ASSERT_EQ(recorder.Messages(msg::kBlockSize).at(0).lParam, 280576);
    const std::vector<LPARAM> lengths = BlockLengths(size, 280576);
    for (const RecordedMessage& m : recorder.Messages(msg::kPartProgress)) {
        const auto index = static_cast<std::size_t>(m.wParam >> 16);
        ASSERT_LT(index, lengths.size());
        EXPECT_LE(m.lParam, lengths[index]) << index;
    }
    EXPECT_EQ(BlockTotals(recorder, 9), lengths);
    for (const RecordedMessage& m : recorder.Messages(msg::kFileStarted)) EXPECT_TRUE(m.lParam >= 0 && m.lParam <= 8);
}

// The blocks go into one file beside the target; the target appears under
// its name only once every block is in, replacing what stood there.
TEST(RangeDownloader, TargetAppearsOnlyWhenComplete) {
    FreshEngine env;
    const std::int32_t size = 3 * 1024 * 1024 + 17;
    const std::string body = test::RandomBytes(size, 21);
    ServedFile file(L"whole.bin", body);
    const std::wstring target = env.folder() / L"whole.bin";
    RecordingWindow recorder;
    std::vector<bool> targetSeen;  // at every byte progress message
    recorder.Observe([&](const RecordedMessage& m) {
        if (m.message == msg::kFileProgress)
            targetSeen.push_back(::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES);
    });
    test::WriteFileBytes(target, "an older copy");
    CRangeDownloader downloader;
    ASSERT_EQ(downloader.Download(file.url(), target, false, 1, recorder.window()), 1);
    EXPECT_TRUE(test::ReadFileBytes(target) == body);
    ASSERT_GE(targetSeen.size(), 2u);
    // The older copy stays until the new one replaces it whole.
    EXPECT_EQ(std::count(targetSeen.begin(), targetSeen.end(), true), static_cast<std::ptrdiff_t>(targetSeen.size()));
    EXPECT_TRUE(PartFiles(env.folder().path()).empty());

    // Without an older copy nothing stands under the name until the end.
    ::DeleteFileW(target.c_str());
    targetSeen.clear();
    CRangeDownloader again;
    ASSERT_EQ(again.Download(file.url(), target, false, 1, recorder.window()), 1);
    ASSERT_GE(targetSeen.size(), 2u);
    EXPECT_TRUE(targetSeen.back());
    EXPECT_EQ(std::count(targetSeen.begin(), targetSeen.end() - 1, true), 0);
    EXPECT_TRUE(test::ReadFileBytes(target) == body);
}

// Host windows follow the file's running total (message 1978): the parts
// report from their own threads, and the totals still arrive in the order in
// which they grew, never stepping back while the download goes well.
TEST(RangeDownloader, NotificationWindowsFollowTheBytes) {
    FreshEngine env;
    const std::int32_t size = 6000000;
    ServedFile file(L"host-progress.bin", test::RandomBytes(size, 9));
    RecordingWindow host;
    env.state().notifications.Register(host.window());
    for (int run = 0; run < 3; ++run) {
        CRangeDownloader downloader;
        ASSERT_EQ(downloader.Download(file.url(), env.folder() / L"host-progress.bin", false, 0, nullptr), 1);
    }
    env.state().notifications.ReleaseAll();

    const auto progress = host.Messages(msg::kByteProgress);
    ASSERT_FALSE(progress.empty());
    LPARAM last = 0;
    int downloads = 0;
    for (const RecordedMessage& m : progress) {
        EXPECT_EQ(m.wParam, static_cast<WPARAM>(size));
        EXPECT_TRUE(m.lParam > 0 && m.lParam <= size) << m.lParam;
        if (last == size) {
            last = 0;  // the next download
            ++downloads;
        }
        EXPECT_GT(m.lParam, last) << "stepped back after " << last;
        last = m.lParam;
    }
    EXPECT_EQ(last, size);
    EXPECT_EQ(downloads + 1, 3);
}

TEST(RangeDownloader, IdleConnectionTakesOverHalfOfASlowPart) {
    FreshEngine env;
    RecordingWindow recorder;
    const std::int32_t size = 16 * 1024 * 1024;
    const std::wstring target = env.folder() / L"split.bin";
    // Two connections of 4 MiB/s each: the third part would run alone.
    CRangeDownloader downloader;
    downloader.SetThreadCount(2);
    ASSERT_EQ(
        downloader.Download(Fault(L"net/split.bin?size=16777216&rate=4194304"), target, false, 1, recorder.window()),
        1);
    EXPECT_EQ(downloader.partCount(), 3);
    EXPECT_GE(downloader.splitCount(), 1);
    EXPECT_TRUE(test::ReadFileBytes(target) == test::PatternBytes(0, size));
    EXPECT_TRUE(PartFiles(env.folder().path()).empty());
    // Progress stays per planned block (16 MiB / 2 * 3 / 4 = 6 MiB): a
    // split-off piece reports under the block it came from.
    EXPECT_EQ(BlockTotals(recorder, 1), (std::vector<LPARAM>{6291456, 6291456, 4194304}));
}

// A server that ignores ranges answers the first request with the whole
// file (200): that reply is the file, read in one stream, with or without a
// length, chunked or not. Before, a reply without a length counted as no
// size: the file was asked for on every pass, each time whole, and failed.
TEST(RangeDownloader, ServerIgnoringRangesServesTheFileInOneRequest) {
    FreshEngine env;
    const wchar_t* queries[] = {L"norange=1", L"norange=1&nolength=1", L"norange=1&chunked=1"};
    int number = 0;
    for (const wchar_t* query : queries) {
        for (const std::int32_t size : {300000, 3000000}) {
            const std::wstring tag = L"norange" + std::to_wstring(++number);
            const std::wstring target = env.folder() / L"norange.bin";
            const std::wstring url =
                Fault(L"net/norange.bin?size=" + std::to_wstring(size) + L"&" + query + L"&tag=" + tag);
            ASSERT_EQ(DownloadFile(url, target, false, 0, nullptr, 8), 0) << query << L" " << size;
            EXPECT_TRUE(test::ReadFileBytes(target) == test::PatternBytes(0, size)) << query << L" " << size;
            EXPECT_EQ(test::FaultRequestCount(tag), 1) << query << L" " << size;
            EXPECT_TRUE(PartFiles(env.folder().path()).empty());
            DeleteFileForce(target);
        }
    }
}

TEST(RangeDownloader, SizeQueryRescuedByTheEscapedUrl) {
    FreshEngine env;
    const std::wstring target = env.folder() / L"escaped.bin";
    CRangeDownloader downloader;
    ASSERT_EQ(downloader.Download(Fault(L"net/a+b.bin?needencoded=1&size=120000"), target, false, 0, nullptr), 1);
    EXPECT_NE(downloader.url().find(L"a%2Bb.bin"), std::wstring::npos) << downloader.url();
    EXPECT_TRUE(test::ReadFileBytes(target) == test::PatternBytes(0, 120000));
}

// A name outside ASCII, sent as it is, reaches the server in the ANSI code
// page ("?" for what the code page lacks): it is asked for in its escaped
// UTF-8 form first, so that it costs no lost request. nginx's log shows
// every request the site got.
TEST(RangeDownloader, NameOutsideAsciiIsAskedForEscapedFirst) {
    FreshEngine env;
    const test::NginxSite site(L"net");
    const std::string folder = Narrow(site.Url().substr(ServerUrl(L"nginx").size() - 1), CodePage::Utf8);
    // nginx logs the decoded uri with every byte outside ASCII as "\\xHH".
    auto logged = [](const std::wstring& name) {
        std::string out;
        for (unsigned char c : Narrow(name, CodePage::Utf8)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
            out += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string(escaped);
        }
        return out;
    };
    // What nginx logged for the site ("status method uri").
    auto requests = [&] {
        std::vector<std::string> asked;
        const std::string log = test::ReadFileBytes(test::BuildPath(L"servers\\nginx\\access.log"));
        for (std::size_t at = 0, end = 0; at < log.size(); at = end + 1) {
            end = std::min(log.find('\n', at), log.size());
            const std::string line = log.substr(at, end - at);
            if (line.find(folder) != std::string::npos) asked.push_back(line);
        }
        return asked;
    };
    struct Case {
        int threads;
        const wchar_t* name;
        const char* status;
    };
    const Case cases[] = {
        {8, L"\u9898\u5e93-\u00e9t\u00e9.bin", "206"},  // the first request asks for a range
        {1, L"\u4e00\u6d41-\u00e9t\u00e9.bin", "200"},  // one stream: no range
    };
    const std::string body = test::RandomBytes(120000, 7);
    for (const Case& c : cases) {
        ASSERT_TRUE(site.Publish(c.name, body));
        const std::size_t before = requests().size();
        const std::wstring target = env.folder() / L"named.bin";
        ASSERT_EQ(DownloadFile(site.Url(c.name), target, false, 0, nullptr, c.threads), 0) << c.threads;
        EXPECT_TRUE(test::ReadFileBytes(target) == body) << c.threads;
        const std::vector<std::string> asked = requests();
        ASSERT_EQ(asked.size(), before + 1) << c.threads << ": " << asked.back();
        EXPECT_EQ(asked.back(), std::string(c.status) + " GET " + folder + logged(c.name)) << c.threads;
    }
}

// The first request asks for the file's first 2 MiB, and its reply tells
// the size and is read as the start of the first range: a file of up to
// 2 MiB takes that one request; the rest of a larger one goes to the other
// connections at once, a range each (at most 2 MiB per request). A reply
// cut short in the middle is a short read like any part's, and fails the
// file.
TEST(RangeDownloader, FirstRequestIsTheSizeQueryAndTheFirstBytes) {
    FreshEngine env;
    struct Case { std::int32_t size; const wchar_t* fault; bool fetched; int requests; };
    const Case cases[] = {
        {40000, L"", true, 1},
        {51200, L"", true, 1},
        {120000, L"", true, 1},
        {2097152, L"", true, 1},   // exactly the first request
        {2097153, L"", true, 2},   // one byte more
        // 11 blocks of 280576: the first request ends in block 7; blocks
        // 7-10 go to four more connections.
        {3000000, L"", true, 5},
        // 8 MiB in blocks of 786432: 2 MiB first, then 7 ranges of 6 MiB
        // together, none above 2 MiB.
        {8388608, L"", true, 8},
        {120000, L"&cutstart=0&cutat=30000", false, -1},
    };
    int number = 0;
    for (const Case& c : cases) {
        const std::wstring tag = L"firstpart" + std::to_wstring(++number);
        const std::wstring target = env.folder() / L"first.bin";
        CRangeDownloader downloader;
        const int result =
            downloader.Download(Fault(L"net/first.bin?size=" + std::to_wstring(c.size) + c.fault + L"&tag=" + tag),
                                target, false, 0, nullptr);
        EXPECT_EQ(result, c.fetched ? 1 : 0) << c.size << c.fault;
        if (c.fetched) {
            EXPECT_TRUE(test::ReadFileBytes(target) == test::PatternBytes(0, c.size)) << c.size;
            EXPECT_EQ(test::FaultRequestCount(tag), c.requests) << c.size;
        } else {
            EXPECT_FALSE(FileExists(target));
            EXPECT_TRUE(PartFiles(env.folder().path()).empty());
        }
        DeleteFileForce(target);
    }
}

TEST(RangeDownloader, ShortChunkInAPartFailsTheWholeFile) {
    FreshEngine env;
    RecordingWindow recorder;
    const std::wstring target = env.folder() / L"short.bin";
    test::WriteFileBytes(target, "stale");
    // The third range (blocks of 280576 bytes; the first request covers
    // 2 MiB, the second range the rest of block 7, the third block 8, from
    // 2244608) gets one full read and then 500 bytes before the connection
    // ends; the other parts are slow enough to notice the stop.
    const std::wstring url = Fault(L"net/short.bin?size=3000000&rate=100000&cutstart=2244608&cutat=" +
                                   std::to_wstring(kTransferBlock + 500));
    CRangeDownloader downloader;
    EXPECT_EQ(downloader.Download(url, target, false, 3, recorder.window()), 0);
    EXPECT_FALSE(FileExists(target));
    EXPECT_TRUE(PartFiles(env.folder().path()).empty());

    const auto progress = recorder.Messages(msg::kFileProgress);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().lParam, 0);  // every part took its bytes back
    std::map<std::int32_t, LPARAM> lastPart;
    for (const RecordedMessage& m : recorder.Messages(msg::kPartProgress))
        lastPart[static_cast<std::int32_t>(m.wParam >> 16)] = m.lParam;
    for (const auto& [index, total] : lastPart) EXPECT_EQ(total, 0) << index;
    for (const RecordedMessage& m : progress) EXPECT_TRUE(m.lParam >= 0 && m.lParam <= 3000000);
}

TEST(RangeDownloader, DroppedConnectionResumesWhereThePartStands) {
    FreshEngine env;
    const std::wstring target = env.folder() / L"resume.bin";
    // The first part ends exactly after one full read: no short chunk, just a drop.
    CRangeDownloader downloader;
    downloader.SetThreadCount(2);
    const std::wstring url = Fault(L"net/resume.bin?size=2000000&cutstart=0&cutat=" + std::to_wstring(kTransferBlock));
    ASSERT_EQ(downloader.Download(url, target, false, 0, nullptr), 1);
    EXPECT_TRUE(test::ReadFileBytes(target) == test::PatternBytes(0, 2000000));
}

TEST(RangeDownloader, OneStreamWithEmptyBody) {
    FreshEngine env;
    ServedFile file(L"empty.bin", "");
    RecordingWindow recorder;
    const std::wstring target = env.folder() / L"empty.bin";
    CRangeDownloader downloader;
    downloader.SetThreadCount(1);
    ASSERT_EQ(downloader.Download(file.url(), target, false, 4, recorder.window()), 1);
    EXPECT_TRUE(FileExists(target));
    EXPECT_EQ(test::ReadFileBytes(target), "");
    const std::vector<RecordedMessage> all = recorder.Messages();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].message, msg::kFileSize);
    EXPECT_EQ(all[0].lParam, 0);
    EXPECT_EQ(all[1].message, msg::kBlockSize);
    EXPECT_EQ(all[2].message, msg::kFileStarted);
    EXPECT_EQ(all[2].lParam, 1);
}

TEST(RangeDownloader, OneStreamModes) {
    FreshEngine env;
    struct Case { const wchar_t* url; int threads; bool failFast; std::int32_t size; };
    const Case cases[] = {
        {L"net/one.bin?size=150000", 1, false, 150000},
        {L"net/fast.bin?size=150000", 8, true, 150000},
        {L"net/nolength.bin?size=150000&nolength=1", 1, false, 150000},  // the body runs to the end
        {L"net/nolength.bin?size=150000&nolength=1", 8, false, 150000},  // sized by Content-Range
    };
    for (const Case& c : cases) {
        RecordingWindow recorder;
        const std::wstring target = env.folder() / L"one.bin";
        CRangeDownloader downloader;
        downloader.SetThreadCount(c.threads);
        ASSERT_EQ(downloader.Download(Fault(c.url), target, c.failFast, 0, recorder.window()), 1) << c.url;
        EXPECT_TRUE(test::ReadFileBytes(target) == test::PatternBytes(0, c.size)) << c.url;
        EXPECT_TRUE(PartFiles(env.folder().path()).empty());
        ASSERT_FALSE(recorder.Messages(msg::kFileStarted).empty());
        if (c.threads < 2 || c.failFast) {
            EXPECT_EQ(recorder.Messages(msg::kFileStarted)[0].lParam, 1);
        }
    }
}

TEST(RangeDownloader, FilesThatCannotBeFetchedLeaveNoTarget) {
    FreshEngine env;
    struct Case { std::wstring url; int threads; };
    const Case cases[] = {
        {ServerUrl(L"nginx") + L"net/missing.bin", 8},
        {ServerUrl(L"nginx") + L"net/missing.bin", 1},
        // 2 GiB or more. (Sent slowly: WinINet reads what is left of a body
        // it is handed back while more keeps arriving.)
        {Fault(L"net/huge.bin?size=3000000000&rate=1000000"), 8},
        {Fault(L"net/huge.bin?size=3000000000&rate=1000000"), 1},
        {Fault(L"net/error.bin?status=503"), 1},
    };
    for (const Case& c : cases) {
        const std::wstring target = env.folder() / L"absent.bin";
        test::WriteFileBytes(target, "old");
        EXPECT_EQ(DownloadFile(c.url, target, false, 0, nullptr, c.threads), 1) << c.url;
        EXPECT_FALSE(FileExists(target)) << c.url;
        EXPECT_TRUE(PartFiles(env.folder().path()).empty()) << c.url;
    }
}

TEST(RangeDownloader, OwnServerKindIsNoticedForThisRunOnly) {
    FreshEngine env;
    const std::atomic<bool>& seen = env.state().run.ownServerKindSeen;
    EXPECT_FALSE(seen.load());
    EXPECT_EQ(DownloadFile(Fault(L"net/plain.bin?size=1000"), env.folder() / L"a.bin", false, 0, nullptr, 8), 0);
    EXPECT_FALSE(seen.load());
    EXPECT_EQ(DownloadFile(Fault(L"net/own.bin?size=1000&server=mirefold2.xx"), env.folder() / L"b.bin", false, 0,
                           nullptr, 8),
              0);
    EXPECT_TRUE(seen.load());
    {
        // A fresh run in the same process has not met that server.
        FreshEngine fresh;
        EXPECT_FALSE(fresh.state().run.ownServerKindSeen.load());
        EXPECT_EQ(DownloadFile(Fault(L"net/plain.bin?size=1000"), fresh.folder() / L"c.bin", false, 0, nullptr, 8), 0);
        EXPECT_FALSE(fresh.state().run.ownServerKindSeen.load());
    }
    EXPECT_TRUE(seen.load());
}

}  // namespace
}  // namespace mf
