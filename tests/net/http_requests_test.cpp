// GET and POST requests against the test servers: nginx for real replies,
// the fault server for slow and odd ones.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

#include "base/strings.h"
#include "engine/paths.h"
#include "net/internet.h"
#include "net/net_limits.h"
#include "net/range_downloader.h"
#include "net_test_support.h"

namespace mf {
namespace {

using test::FreshEngine;
using test::ServedFile;
using test::ServerUrl;

class ChunkRecorder final : public ByteSink {
public:
    void Write(const char* bytes, std::size_t count) override {
        chunks.push_back(count);
        data.append(bytes, count);
    }
    std::vector<std::size_t> chunks;
    std::string data;
};

TEST(HttpGetToSink, DeliversChunksOf1024UntilTheShortRead) {
    FreshEngine env;
    struct Case { std::size_t size; std::vector<std::size_t> chunks; };
    const Case cases[] = {
        {2048, {1024, 1024}},
        {1000, {1000}},
        {2500, {1024, 1024, 452}},
        {0, {}},
    };
    for (const Case& c : cases) {
        const std::string body = test::RandomBytes(c.size, static_cast<std::uint32_t>(c.size));
        ServedFile file(L"sink-" + std::to_wstring(c.size) + L".bin", body);
        ChunkRecorder sink;
        ASSERT_TRUE(HttpGetToSink(file.url(), sink)) << c.size;
        EXPECT_EQ(sink.chunks, c.chunks) << c.size;
        EXPECT_EQ(sink.data, body) << c.size;
    }
}

TEST(HttpGetToSink, ErrorStatusIsAFailure) {
    FreshEngine env;
    ChunkRecorder sink;
    EXPECT_FALSE(HttpGetToSink(ServerUrl(L"nginx") + L"net/no-such-list.xml", sink));
    EXPECT_TRUE(sink.data.empty());
}

TEST(HttpGetToFile, SavesTheBodyAndReportsFailures) {
    FreshEngine env;
    const std::string body = test::RandomBytes(70000, 7);
    ServedFile file(L"tofile.bin", body);
    const std::wstring target = env.folder() / L"list.xml";

    EXPECT_EQ(HttpGetToFile(file.url(), target), kGetToFileDone);
    EXPECT_EQ(test::ReadFileBytes(target), body);

    // Neither a 404 nor an unreachable server passes for an empty download.
    const std::wstring failing[] = {
        ServerUrl(L"nginx") + L"net/missing.bin",
        ServerUrl(L"faultserver") + L"x?status=500",
        L"http://127.0.0.1:1/nothing-listens-here",
    };
    for (const std::wstring& url : failing) {
        EXPECT_EQ(HttpGetToFile(url, target), kGetToFileFailed) << url;
        EXPECT_FALSE(FileExists(target)) << url;
    }
}

TEST(HttpGetToFile, ReplyWhoseEndCannotBeTrustedFails) {
    FreshEngine env;
    const std::wstring target = env.folder() / L"list.xml";
    // Two Content-Length headers that disagree, and a bare HTTP/0.9 body.
    for (const wchar_t* query : {L"x?size=5000&twolengths=100", L"x?size=5000&http09=1"}) {
        const std::wstring url = ServerUrl(L"faultserver") + query;
        EXPECT_EQ(HttpGetToFile(url, target), kGetToFileFailed) << Narrow(url);
        EXPECT_FALSE(FileExists(target)) << Narrow(url);
        ChunkRecorder sink;
        EXPECT_FALSE(HttpGetToSink(url, sink)) << Narrow(url);
    }
    // The same reply, told once, is fine.
    EXPECT_EQ(HttpGetToFile(ServerUrl(L"faultserver") + L"x?size=5000&twolengths=5000", target), kGetToFileDone);
}

TEST(HttpGetText, FirstBytesAsUtf16OrTheDefault) {
    FreshEngine env;
    ServedFile three(L"three.txt", "abc");
    EXPECT_EQ(HttpGetText(three.url(), L"dflt"), std::wstring(1, static_cast<wchar_t>('a' | ('b' << 8))));

    std::string digest;
    for (char c : std::string("0123456789abcdef0123456789ABCDEF")) digest += {c, '\0'};
    ServedFile md5(L"md5.txt", digest + std::string(2000, 'x'));
    EXPECT_EQ(HttpGetText(md5.url(), L"dflt").substr(0, 32), L"0123456789abcdef0123456789ABCDEF");
    EXPECT_EQ(HttpGetText(md5.url(), L"dflt").size(), 512u);  // only the first 1024 bytes

    EXPECT_EQ(HttpGetText(ServerUrl(L"nginx") + L"net/absent.txt", L"dflt"), L"dflt");
    EXPECT_EQ(HttpGetText(L"http://127.0.0.1:1/x", L"dflt"), L"dflt");
}

TEST(HttpPost, ResultCodes) {
    FreshEngine env;
    std::wstring text = L"stale";
    EXPECT_EQ(HttpPost(L"ftp://127.0.0.1/x", text), kPostFailed);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(HttpPost(L"not a url", text), kPostFailed);
    EXPECT_EQ(HttpPost(L"http://127.0.0.1:1/closed", text), kPostFailed);
    EXPECT_TRUE(text.empty());

    ASSERT_EQ(HttpPost(ServerUrl(L"faultserver") + L"svc/msg.aspx?id=5&t=x", text), kPostDone);
    EXPECT_EQ(text, L"POST /svc/msg.aspx ?id=5&t=x type=application/x-www-form-urlencoded \u6c49\u5b57");
}

TEST(HttpPost, SlowServerTimesOut) {
    FreshEngine env;
    std::wstring text;
    EXPECT_EQ(HttpPost(ServerUrl(L"faultserver") + L"svc/slow?delay=9000", text), kPostTimedOut);
    EXPECT_TRUE(text.empty());
}

TEST(HttpPost, ATrickledAnswerEndsAtTheDeadline) {
    FreshEngine env;
    Limits().postDeadlineMs = 3000;
    std::wstring text = L"stale";
    // One byte a second: every read gets something, no time-out ever passes.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(HttpPost(ServerUrl(L"faultserver") + L"svc/trickle?drip=1000", text), kPostTimedOut);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(text.empty());
    EXPECT_GE(took, std::chrono::milliseconds(2900));
    EXPECT_LT(took, std::chrono::seconds(9));
    // A quick answer is not held up by the watch.
    ASSERT_EQ(HttpPost(ServerUrl(L"faultserver") + L"svc/quick?drip=1", text), kPostDone);
    EXPECT_EQ(text, L"POST /svc/quick ?drip=1");
}

TEST(HttpPost, AnAnswerOverTheCallersLimitFails) {
    FreshEngine env;
    std::wstring text;
    const std::wstring server = ServerUrl(L"faultserver");
    EXPECT_EQ(HttpPost(server + L"svc/big?size=65536", text, 65536), kPostDone);
    EXPECT_EQ(text.size(), 65536u);
    for (const wchar_t* query : {L"svc/big?size=65537", L"svc/big?size=40000000&nolength=1"}) {
        EXPECT_EQ(HttpPost(server + query, text, 65536), kPostFailed) << Narrow(query);
        EXPECT_TRUE(text.empty());
    }
}

bool InUrlCache(const std::wstring& url) {
    DWORD size = 0;
    if (::GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size)) return true;
    return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

void ReadWholeBody(HINTERNET request) {
    char buffer[4096];
    DWORD read = 0;
    while (::InternetReadFile(request, buffer, sizeof(buffer), &read) && read > 0) {
    }
}

TEST(Requests, NothingLandsInWinInetsCache) {
    FreshEngine env;
    const std::string body = test::RandomBytes(300000, 3);
    ServedFile sink(L"cache-sink.bin", body), file(L"cache-file.bin", body), text(L"cache-text.bin", body),
        parts(L"cache-parts.bin", body), control(L"cache-control.bin", body);

    MemorySink memory;
    ASSERT_TRUE(HttpGetToSink(sink.url(), memory));
    ASSERT_EQ(HttpGetToFile(file.url(), env.folder() / L"f.bin"), kGetToFileDone);
    (void)HttpGetText(text.url(), L"");
    ASSERT_EQ(DownloadFile(parts.url(), env.folder() / L"p.bin", false, 0, nullptr, 8), 0);
    std::wstring reply;
    ASSERT_EQ(HttpPost(ServerUrl(L"faultserver") + L"svc/cache", reply), kPostDone);

    for (const std::wstring& url :
         {sink.url(), file.url(), text.url(), parts.url(), ServerUrl(L"faultserver") + L"svc/cache"}) {
        EXPECT_FALSE(InUrlCache(url)) << url;
    }
    // The check itself works: a plain request is cached.
    UniqueInternet root(::InternetOpenW(L"control", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    UniqueInternet request(::InternetOpenUrlW(root.get(), control.url().c_str(), nullptr, 0, 0, 0));
    ASSERT_TRUE(request);
    ReadWholeBody(request.get());
    request.reset();
    EXPECT_TRUE(InUrlCache(control.url()));
    ::DeleteUrlCacheEntryW(control.url().c_str());
}

TEST(OpenInternet, UnusableProxyIsRefusedWithoutAMessageBox) {
    // The network layer only refuses and logs; start-up reports the setting,
    // once per run, where a window may be shown.
    const struct {
        const wchar_t* proxy;
        bool usable;
    } cases[] = {
        {L"proxyhost", false}, {L":3128", false}, {L"proxyhost:", false}, {L"", true}, {L"127.0.0.1:3128", true}};
    for (const auto& c : cases) {
        FreshEngine env;
        env.state().config.Cache(L"Mirefold", L"Proxy", c.proxy);
        EXPECT_EQ(ConfiguredProxyUsable(), c.usable) << c.proxy;
        if (!c.usable) {
            EXPECT_FALSE(OpenInternet(L"down1")) << c.proxy;
        }
    }
}

TEST(OpenInternet, ProxyHostAndPortOpensAHandle) {
    FreshEngine env;
    env.state().config.Cache(L"Mirefold", L"Proxy", L"127.0.0.1:3128");
    env.state().config.Cache(L"Mirefold", L"ProxyUser", L"alice,secret");
    UniqueInternet root = OpenInternet(L"down1");
    ASSERT_TRUE(root);
    char buffer[512] = {};
    DWORD size = sizeof(buffer);
    ASSERT_TRUE(::InternetQueryOptionW(root.get(), INTERNET_OPTION_PROXY, buffer, &size));
    const auto* info = reinterpret_cast<const INTERNET_PROXY_INFO*>(buffer);
    EXPECT_EQ(info->dwAccessType, static_cast<DWORD>(INTERNET_OPEN_TYPE_PROXY));
    const std::wstring proxies = reinterpret_cast<const wchar_t*>(info->lpszProxy);
    EXPECT_NE(proxies.find(L"HTTP=HTTP://127.0.0.1:3128"), std::wstring::npos) << Narrow(proxies);
    EXPECT_NE(proxies.find(L"HTTPS=HTTP://127.0.0.1:3128"), std::wstring::npos) << Narrow(proxies);
}

TEST(Requests, ConfiguredProxyThatIsDownIsNeverBypassed) {
    FreshEngine env;
    env.state().run.connectTryCount = 1;
    // Nothing listens at the proxy's port.
    env.state().config.Cache(L"Mirefold", L"Proxy", L"127.0.0.1:1");
    const std::string body = test::RandomBytes(300000, 11);
    ServedFile file(L"behind-proxy.bin", body);
    const std::wstring target = env.folder() / L"got.bin";

    EXPECT_NE(DownloadFile(file.url(), target, false, 0, nullptr, 4), 0);
    EXPECT_EQ(HttpGetToFile(file.url(), target), kGetToFileFailed);
    MemorySink sink;
    EXPECT_FALSE(HttpGetToSink(file.url(), sink));
    EXPECT_EQ(HttpGetText(file.url(), L"dflt"), L"dflt");
    std::wstring text;
    EXPECT_NE(HttpPost(file.url(), text), kPostDone);

    const std::string log = test::ReadFileBytes(test::BuildPath(L"servers\\nginx\\access.log"));
    EXPECT_EQ(log.find("behind-proxy.bin"), std::string::npos) << "asked for directly";
}

}  // namespace
}  // namespace mf
