// What a hostile or broken server can do to the network layer, played by the
// fault server: replies that never end, sizes that lie, ranges other than the
// ones asked for, redirect loops, servers that stop answering and archives
// that unpack to far more than they weigh. Whatever the reply, a request
// ends in bounded time, writes a bounded number of bytes, leaves nothing
// behind when it fails, and fails rather than passing off a wrong file.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "base/strings.h"
#include "engine/paths.h"
#include "net/fetch_file.h"
#include "net/internet.h"
#include "net/net_limits.h"
#include "net/range_downloader.h"
#include "net_test_support.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::FreshEngine;
using test::ServerUrl;

std::wstring Fault(const std::wstring& rest) { return test::FaultUrl(rest); }

std::wstring Joined(const std::vector<std::wstring>& names) {
    std::wstring text;
    for (const std::wstring& name : names) text += name + L" ";
    return text;
}


double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A 206 reply to the size query whose Content-Range gives no complete length
// must not make the file one byte long (its Content-Length): the file is
// fetched whole in one stream instead, or fails.
TEST(HostileServer, RangeReplyWithoutCompleteLength) {
    FreshEngine env;
    struct Case { const wchar_t* query; bool fetched; };
    const Case cases[] = {
        {L"size=150000&total=star", true},
        {L"size=150000&total=none", true},
        // Even the request without a range gets a range reply without a
        // complete length: nothing says how long the file is.
        {L"size=150000&total=star&always206=1", false},
    };
    for (const Case& c : cases) {
        const std::wstring target = env.folder() / L"total.bin";
        const int result = DownloadFile(Fault(L"net/total.bin?") + c.query, target, false, 0, nullptr, 8);
        if (c.fetched) {
            ASSERT_EQ(result, 0) << c.query;
            EXPECT_TRUE(test::ReadFileBytes(target) == test::PatternBytes(0, 150000)) << c.query;
        } else {
            EXPECT_EQ(result, 1) << c.query;
        }
        DeleteFileForce(target);
        EXPECT_TRUE(test::NamesIn(env.folder().path()).empty()) << Joined(test::NamesIn(env.folder().path()));
    }
}

// "Not found" is the server's answer, which asking again at once does not
// change: a missing file (most often a zip variant the server does not
// hold) is asked for once, and once more only when its escaped name differs.
// A failure of the server itself is still asked for on every pass.
TEST(HostileServer, MissingFileIsAskedForOnceOtherFailuresOnEveryPass) {
    FreshEngine env;
    struct Case { const wchar_t* path; const wchar_t* query; int requests; };
    const Case cases[] = {
        {L"net/missing.bin", L"status=404", 1},
        {L"net/gone.bin", L"status=410", 1},
        {L"net/missing+one.bin", L"status=404", 2},  // the name and its escaped form
        {L"net/broken.bin", L"status=500", 3},       // one per pass
    };
    int number = 0;
    for (const Case& c : cases) {
        const std::wstring tag = L"missing" + std::to_wstring(++number);
        const std::wstring target = env.folder() / L"missing.bin";
        EXPECT_EQ(DownloadFile(Fault(c.path) + L"?" + c.query + L"&tag=" + tag, target, false, 0, nullptr, 8), 1)
            << c.path;
        EXPECT_EQ(test::FaultRequestCount(tag), c.requests) << c.path << "?" << c.query;
        EXPECT_TRUE(test::NamesIn(env.folder().path()).empty()) << Joined(test::NamesIn(env.folder().path()));
    }
}

// A part whose 206 reply names other bytes than it asked for (another
// offset, another file length, no length, no range at all) fails the file;
// before, the other bytes were joined into a "complete" file.
TEST(HostileServer, PartReplyForAnotherRangeFailsTheFile) {
    FreshEngine env;
    // 3000000 bytes on 8 connections: the first request holds 2 MiB, the
    // second range starts there. Only that range's reply is odd.
    const wchar_t* odd[] = {L"rangeshift=1", L"total=4000000", L"total=star", L"total=none"};
    for (const wchar_t* query : odd) {
        const std::wstring target = env.folder() / L"range.bin";
        const std::wstring url = Fault(L"net/range.bin?size=3000000&onlyat=2097152&") + query;
        EXPECT_EQ(DownloadFile(url, target, false, 0, nullptr, 8), 1) << query;
        EXPECT_TRUE(test::NamesIn(env.folder().path()).empty())
            << query << L": " << Joined(test::NamesIn(env.folder().path()));
    }
    // The same server answering that part straight serves the file.
    const std::wstring target = env.folder() / L"range.bin";
    ASSERT_EQ(DownloadFile(Fault(L"net/range.bin?size=3000000&onlyat=1&rangeshift=1"), target, false, 0, nullptr, 8),
              0);
    EXPECT_TRUE(test::ReadFileBytes(target) == test::PatternBytes(0, 3000000));
}

// A reply without Content-Length runs until the connection ends: it may not
// write more than the limit, and a connection that breaks is not the end of
// the file.
TEST(HostileServer, ReplyWithoutLengthIsBounded) {
    FreshEngine env;
    Limits().unsizedBytes = 1024 * 1024;
    struct Case { const wchar_t* query; bool fetched; };
    const Case cases[] = {
        {L"nolength=1&size=1000000", true},   // under the limit
        {L"nolength=1&size=3000000", false},  // over it
        {L"endless=1", false},                // never ends
        {L"chunked=1&size=1000000", true},
        // (A chunked body cut before its last chunk, or a reset connection,
        // looks like the end of the body to Wine's WinINet: nothing tells a
        // body without a length from one cut short there.)
    };
    for (const Case& c : cases) {
        const std::wstring target = env.folder() / L"unsized.bin";
        const auto start = std::chrono::steady_clock::now();
        const int result = DownloadFile(Fault(L"net/unsized.bin?") + c.query, target, false, 0, nullptr, 1);
        EXPECT_LT(SecondsSince(start), 20.0) << c.query;
        if (c.fetched) {
            ASSERT_EQ(result, 0) << c.query;
            EXPECT_TRUE(test::ReadFileBytes(target) == test::PatternBytes(0, 1000000)) << c.query;
            DeleteFileForce(target);
        } else {
            EXPECT_EQ(result, 1) << c.query;
        }
        EXPECT_TRUE(test::NamesIn(env.folder().path()).empty())
            << c.query << L": " << Joined(test::NamesIn(env.folder().path()));
    }
}

// A connection lost before the announced length is not the end of the
// document: a request that reads to the end fails, and leaves nothing.
TEST(HostileServer, ConnectionLostBeforeTheAnnouncedLength) {
    FreshEngine env;
    const std::wstring target = env.folder() / L"cut.xml";
    for (const wchar_t* query :
         {L"size=100000&cutstart=0&cutat=50500", L"size=100000&cutstart=0&cutat=50500&reset=1"}) {
        const std::wstring url = Fault(L"net/cut.xml?") + query;
        MemorySink sink;
        EXPECT_FALSE(HttpGetToSink(url, sink)) << query;
        EXPECT_EQ(HttpGetToFile(url, target), kGetToFileFailed) << query;
        EXPECT_EQ(DownloadFile(url, target, false, 0, nullptr, 1), 1) << query;
        EXPECT_TRUE(test::NamesIn(env.folder().path()).empty())
            << query << L": " << Joined(test::NamesIn(env.folder().path()));
    }
}

// A list (and every simple request for a document) has a size limit: a
// reply that announces more is refused before anything is written, one that
// runs past it fails, and nothing is left in the folder either way.
TEST(HostileServer, ListsAndDocumentsAreBounded) {
    FreshEngine env;
    Limits().documentBytes = 1024 * 1024;
    const std::wstring target = env.folder() / L"list.xml";
    const wchar_t* oversized[] = {
        L"size=3000000",                     // an honest length over the limit
        L"size=3000000&nolength=1&norange=1",  // no length
        L"endless=1",                        // no end
        // A length of 1 GiB (sent slowly, so that closing the reply does not
        // read what keeps arriving).
        L"size=1073741824&rate=1000000",
    };
    for (const wchar_t* query : oversized) {
        const std::wstring url = Fault(L"net/list.xml?") + query;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(FetchFile(nullptr, kListFileIndex, url, target), 1) << query;
        EXPECT_EQ(HttpGetToFile(url, target), kGetToFileFailed) << query;
        MemorySink sink;
        EXPECT_FALSE(HttpGetToSink(url, sink)) << query;
        EXPECT_LE(sink.data().size(), 1024u * 1024u) << query;
        EXPECT_LT(SecondsSince(start), 30.0) << query;
        EXPECT_TRUE(test::NamesIn(env.folder().path()).empty())
            << query << L": " << Joined(test::NamesIn(env.folder().path()));
    }
    // A list under the limit still comes through every way.
    const std::wstring url = Fault(L"net/list.xml?size=900000");
    ASSERT_EQ(FetchFile(nullptr, kListFileIndex, url, target), 0);
    EXPECT_TRUE(test::ReadFileBytes(target) == test::PatternBytes(0, 900000));
    ASSERT_EQ(HttpGetToFile(url, target), kGetToFileDone);
    EXPECT_TRUE(test::ReadFileBytes(target) == test::PatternBytes(0, 900000));
    MemorySink sink;
    ASSERT_TRUE(HttpGetToSink(url, sink));
    EXPECT_EQ(sink.data().size(), 900000u);
}

// The zip variant of a list is a few kilobytes that may unpack to gigabytes:
// what it would unpack to is checked before anything is written. The same
// holds, with its own limit, for the zip variant of a file.
TEST(HostileServer, ZipVariantThatUnpacksPastTheLimit) {
    FreshEngine env;
    Limits().documentBytes = 1024 * 1024;
    Limits().extractedBytes = 2 * 1024 * 1024;
    env.state().config.Cache(L"Mirefold", L"ListFileZip", L"1");
    const std::wstring list = env.folder() / L"list.xml";
    // 3 MB of zeros in an archive of a few kilobytes; the plain list is
    // missing, so nothing is fetched at all.
    EXPECT_EQ(FetchFile(nullptr, kListFileIndex, Fault(L"net/list.xml?zipbomb=3000000"), list), 1);
    EXPECT_TRUE(test::NamesIn(env.folder().path()).empty()) << Joined(test::NamesIn(env.folder().path()));
    // A file's zip variant over its limit is no file either.
    const std::wstring file = env.folder() / L"data.bin";
    EXPECT_EQ(FetchFile(nullptr, 0, Fault(L"net/data.bin?zipbomb=3000000"), file), 1);
    EXPECT_TRUE(test::NamesIn(env.folder().path()).empty()) << Joined(test::NamesIn(env.folder().path()));

    // Under the limits both unpack.
    env.state().config.Cache(L"Mirefold", L"ListFileZip", L"1");
    ASSERT_EQ(FetchFile(nullptr, kListFileIndex, Fault(L"net/list.xml?zipbomb=1000000"), list), 0);
    EXPECT_EQ(test::ReadFileBytes(list), std::string(1000000, '\0'));
    ASSERT_EQ(FetchFile(nullptr, 0, Fault(L"net/data.bin?zipbomb=1500000"), file), 0);
    EXPECT_EQ(test::ReadFileBytes(file + L"_"), std::string(1500000, '\0'));
}

// A zip variant whose first entry is a folder holds no file: it is refused
// like a damaged one and the plain file fetched, and a folder that an
// earlier run left where a file or a list belongs is removed first, so that
// a fixed server is enough to update again.
TEST(HostileServer, ZipVariantWhoseFirstEntryIsAFolder) {
    FreshEngine env;
    const std::string plain = "the file itself\r\n";
    const std::string folderFirst = test::ReadFileBytes(test::BuildPath(L"fixtures\\zip\\folder_first.zip"));
    ASSERT_FALSE(folderFirst.empty());
    const test::NginxSite site(L"net");
    for (const std::wstring name : {L"file.dat", L"list.xml"}) {
        ASSERT_TRUE(site.Publish(name, plain));
        ASSERT_TRUE(site.Publish(name + L"._.zip", folderFirst));
    }
    const std::wstring base = site.Url();

    // A file record; the first time with a folder left at its path.
    const std::wstring file = env.folder() / L"dl\\file.dat";
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        if (run == 0) {
            ASSERT_TRUE(CreateFolderTree(file + L"\\left"));
        }
        DeleteFileForce(file + L"_");
        EXPECT_EQ(FetchFile(nullptr, 0, base + L"file.dat", file), 0);
        EXPECT_EQ(test::ReadFileBytes(file + L"_"), plain);
        EXPECT_FALSE(FolderExists(file));
    }

    // The list, in the zip form, with a folder left at the list's path.
    env.state().config.Cache(L"Mirefold", L"ListFileZip", L"1");
    const std::wstring list = env.folder() / L"list.xml";
    ASSERT_TRUE(CreateFolderTree(list + L"\\left"));
    EXPECT_EQ(FetchFile(nullptr, kListFileIndex, base + L"list.xml", list), 0);
    EXPECT_EQ(test::ReadFileBytes(list), plain);
}

// Redirects are followed, relative and absolute, up to a small number; a loop
// is a failure after that number, not after thousands of requests.
TEST(HostileServer, RedirectsAreFollowedAndCounted) {
    FreshEngine env;
    Limits().redirects = 5;
    const std::wstring target = env.folder() / L"moved.bin";
    for (int threads : {1, 8}) {
        ASSERT_EQ(DownloadFile(Fault(L"net/moved.bin?size=150000&redirect=3"), target, false, 0, nullptr, threads), 0);
        EXPECT_TRUE(test::ReadFileBytes(target) == test::PatternBytes(0, 150000)) << threads;
    }
    MemorySink sink;
    ASSERT_TRUE(HttpGetToSink(Fault(L"net/moved.bin?size=5000&redirect=5"), sink));
    EXPECT_EQ(sink.data(), test::PatternBytes(0, 5000));
    EXPECT_FALSE(HttpGetToSink(Fault(L"net/moved.bin?size=5000&redirect=6"), sink));

    // A loop: the first request and five redirects, then the request fails
    // without a retry.
    struct Case { const wchar_t* tag; std::function<bool(const std::wstring&)> fetch; int requests; };
    const Case cases[] = {
        {L"loop-parts", [&](const std::wstring& url) { return DownloadFile(url, target, false, 0, nullptr, 8) == 0; },
         6},
        {L"loop-stream", [&](const std::wstring& url) { return DownloadFile(url, target, false, 0, nullptr, 1) == 0; },
         6},
        {L"loop-sink",
         [](const std::wstring& url) {
             MemorySink s;
             return HttpGetToSink(url, s);
         },
         6},
        {L"loop-file", [&](const std::wstring& url) { return HttpGetToFile(url, target) == kGetToFileDone; }, 6},
        {L"loop-text", [](const std::wstring& url) { return HttpGetText(url, L"none") != L"none"; }, 6},
        {L"loop-post",
         [](const std::wstring& url) {
             std::wstring t;
             return HttpPost(url, t) == kPostDone;
         },
         6},
        // The zip variant and the plain list, one loop each.
        {L"loop-list", [&](const std::wstring& url) { return FetchFile(nullptr, kListFileIndex, url, target) == 0; },
         12},
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(c.fetch(Fault(L"net/loop.bin?redirect=loop&tag=") + c.tag + L"&size=1000")) << c.tag;
        EXPECT_LT(SecondsSince(start), 10.0) << c.tag;
        EXPECT_EQ(test::FaultRequestCount(c.tag), c.requests) << c.tag;
    }
    DeleteFileForce(target);
    EXPECT_TRUE(test::NamesIn(env.folder().path()).empty()) << Joined(test::NamesIn(env.folder().path()));
}

// A server that stops answering (before its headers, or in the middle of the
// body) fails the request after the time-out instead of holding it.
TEST(HostileServer, SilentServerTimesOut) {
    FreshEngine env;
    Limits().timeoutMs = 1000;
    const std::wstring target = env.folder() / L"silent.bin";
    struct Case { const wchar_t* query; int threads; };
    const Case cases[] = {
        {L"size=300000&delay=20000", 8},
        {L"size=300000&stall=20000", 8},
        {L"size=300000&stall=20000&stallat=100000", 1},
        {L"size=300000&nolength=1&stall=20000&stallat=100000", 1},
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(DownloadFile(Fault(L"net/silent.bin?") + c.query, target, false, 0, nullptr, c.threads), 1)
            << c.query;
        EXPECT_LT(SecondsSince(start), 10.0) << c.query;
        EXPECT_TRUE(test::NamesIn(env.folder().path()).empty())
            << c.query << L": " << Joined(test::NamesIn(env.folder().path()));
    }
    const auto start = std::chrono::steady_clock::now();
    MemorySink sink;
    EXPECT_FALSE(HttpGetToSink(Fault(L"net/silent.bin?size=300000&stall=20000&stallat=5000"), sink));
    EXPECT_EQ(HttpGetToFile(Fault(L"net/silent.bin?delay=20000"), target), kGetToFileFailed);
    EXPECT_LT(SecondsSince(start), 8.0);
}

// A server that keeps a reply alive with one byte now and then answers inside
// every receive time-out: below the lowest speed over its window the reply
// ends as a failed try, and the request fails after its tries instead of
// running for as long as the server likes.
TEST(HostileServer, TricklingReplyEndsAsAFailedTry) {
    FreshEngine env;
    Limits().lowSpeedWindowMs = 1000;
    const std::wstring target = env.folder() / L"trickle.bin";
    // 100 bytes, one every 200 ms: 20 s for the whole reply.
    const std::wstring url = Fault(L"net/trickle.bin?size=100&trickle=200");
    struct Case {
        const wchar_t* name;
        std::function<bool()> fetch;
    };
    const Case cases[] = {
        {L"parts", [&] { return DownloadFile(url, target, false, 0, nullptr, 8) == 0; }},
        {L"stream", [&] { return DownloadFile(url, target, false, 0, nullptr, 1) == 0; }},
        {L"sink",
         [&] {
             MemorySink sink;
             return HttpGetToSink(url, sink);
         }},
        {L"file", [&] { return HttpGetToFile(url, target) == kGetToFileDone; }},
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(c.fetch()) << c.name;
        EXPECT_LT(SecondsSince(start), 10.0) << c.name;
        EXPECT_TRUE(test::NamesIn(env.folder().path()).empty())
            << c.name << L": " << Joined(test::NamesIn(env.folder().path()));
    }
}

// A reply fast enough for the lowest speed may still never be done in a
// reasonable time: a file has a deadline, and its deadline grows with its
// size, so that a large file on a slow link still comes through.
TEST(HostileServer, FileEndsByItsDeadline) {
    FreshEngine env;
    Limits().deadlineBaseMs = 2000;
    Limits().deadlineBytesPerSecond = 1 << 30;
    const std::wstring target = env.folder() / L"late.bin";
    // 200 kB at 40 kB/s: 5 s, well above the lowest speed.
    const std::wstring url = Fault(L"net/late.bin?size=200000&rate=40000");
    for (int threads : {8, 1}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(DownloadFile(url, target, false, 0, nullptr, threads), 1) << threads;
        EXPECT_LT(SecondsSince(start), 4.5) << threads;
        EXPECT_TRUE(test::NamesIn(env.folder().path()).empty()) << Joined(test::NamesIn(env.folder().path()));
    }
    // 2 s plus 8 s for its 200 kB at 25 kB/s: time enough.
    Limits().deadlineBytesPerSecond = 25000;
    ASSERT_EQ(DownloadFile(url, target, false, 0, nullptr, 8), 0);
    EXPECT_TRUE(test::ReadFileBytes(target) == test::PatternBytes(0, 200000));
}

// A download cut off by the end of the process (a host that kills the
// engine, a run that gives up waiting for a list and exits) leaves neither
// part files nor a half-written target.
TEST(HostileServer, DownloadCutOffByTheEndOfTheProcessLeavesNothing) {
    FreshEngine env;
    for (const wchar_t* threads : {L"8", L"1"}) {
        test::TempFolder folder;
        const std::wstring target = folder / L"killed.bin";
        // 100 MB at 2 MB/s per connection: still running when it is killed.
        const std::wstring url = Fault(L"net/killed.bin?size=100000000&rate=2000000");
        test::ChildProcess mfget = test::ChildProcess::Start(
            L"\"" + test::BuildPath(L"bin\\mfget.exe") + L"\" -t " + threads + L" \"" + url + L"\" \"" + target + L"\"",
            folder.path());
        ASSERT_TRUE(mfget.started());
        const bool writing = test::WaitUntil(
            [&] {
                for (const std::wstring& name : test::NamesIn(folder.path())) {
                    WIN32_FILE_ATTRIBUTE_DATA data{};
                    if (::GetFileAttributesExW((folder / name).c_str(), GetFileExInfoStandard, &data) &&
                        data.nFileSizeLow > 300000) {
                        return true;
                    }
                }
                return false;
            },
            20s);
        ASSERT_TRUE(writing) << threads << L": " << Joined(test::NamesIn(folder.path()));
        mfget.Kill();
        ASSERT_TRUE(mfget.Wait(10s));
        EXPECT_TRUE(test::WaitUntil([&] { return test::NamesIn(folder.path()).empty(); }, 5s))
            << threads << L": " << Joined(test::NamesIn(folder.path()));
    }
}

}  // namespace
}  // namespace mf
