// The WinINet session and the simple requests: root handles with the
// configured proxy, the open-URL step of the downloader, URL joining, and
// GET / POST requests that need no progress.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/handles.h"
#include "net/http_values.h"
#include "net/request_pace.h"

namespace mf {

// Flags that ask every cache on the way for a new copy and keep the reply
// out of WinINet's own cache.
inline constexpr DWORD kFreshFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;

// The downloader's requests also leave cookies alone: update files need
// none, and looking them up costs each connection a trip to WinINet's
// cookie store.
inline constexpr DWORD kPartFlags = kFreshFlags | INTERNET_FLAG_NO_COOKIES;

// What "Proxy" and "ProxyUser" of section "Mirefold" ask for.
struct ProxySetting {
    bool useProxy = false;     // false: the system's preconfigured settings
    bool valid = true;         // false: "Proxy" is set but not host:port
    std::wstring proxyList;    // "HTTP=HTTP://host:port HTTPS=HTTP://host:port"
    bool hasUser = false;
    std::wstring user;
    bool hasPassword = false;
    std::wstring password;
};

ProxySetting ParseProxySetting(const std::wstring& proxy, const std::wstring& proxyUser);

// Whether the configured proxy ("Proxy", "ProxyUser") can be used: none set,
// or host:port. Start-up reports an unusable one, once.
[[nodiscard]] bool ConfiguredProxyUsable();

// A root handle with the given agent and the configured proxy; null (with a
// log line) when the proxy value is unusable. Every request of the engine,
// the simple ones below included, opens its root handle here: with a proxy
// configured, every request goes through it or fails, none goes to its
// server directly.
UniqueInternet OpenInternet(const std::wstring& agent);

// An open HTTP request and the connection that it belongs to (closing the
// connection would close the request).
class HttpRequest {
public:
    HttpRequest() = default;
    HttpRequest(UniqueInternet connection, UniqueInternet request)
        : connection_(std::move(connection)), request_(std::move(request)) {}
    [[nodiscard]] explicit operator bool() const { return static_cast<bool>(request_); }
    [[nodiscard]] HINTERNET get() const { return request_.get(); }
    void reset() {
        request_.reset();
        connection_.reset();
    }

private:
    UniqueInternet connection_;  // declared first: closed after the request
    UniqueInternet request_;
};

enum class OpenUrlError {
    None,
    Failed,            // no connection, no reply, or the time-out passed
    NotHttp,           // not an http or https URL (also a redirect to one)
    TooManyRedirects,  // more redirects than NetLimits::redirects
    Encoded,           // the body is compressed (Content-Encoding) and the caller reads bytes as sent
    Malformed,         // no HTTP/1.x reply (HTTP/0.9), or Content-Length headers that disagree
};

// Every request asks for the body as it is ("Accept-Encoding: identity"),
// yet some servers compress all the same (nginx "gzip_static always"). A
// caller that reads a whole document lets WinINet decode gzip and deflate;
// a caller that reads ranges of a file's bytes cannot, and refuses such a
// reply rather than store compressed bytes as the file.
enum class ReplyEncoding {
    AsSentOnly,  // a reply with a Content-Encoding other than identity fails
    Decoded,     // gzip and deflate are decoded while reading
};

// A synchronous GET of `url` through the root handle with the headers
// (empty: none) and flags given. Every request gets the time-outs of
// NetLimits; redirects are followed here, up to NetLimits::redirects, so
// that a loop ends as a failure. Null on failure, with the reason in
// `error` when one is given.
[[nodiscard]] HttpRequest OpenUrl(HINTERNET root, const std::wstring& url, const std::wstring& headers, DWORD flags,
                                  OpenUrlError* error = nullptr, ReplyEncoding encoding = ReplyEncoding::AsSentOnly);
// Whether the reply's body comes compressed (a Content-Encoding other than
// identity); its Content-Length then counts the compressed bytes.
[[nodiscard]] bool IsEncodedReply(HINTERNET request);

// 200 and 206: the statuses whose body is the content asked for.
[[nodiscard]] bool IsContentStatus(DWORD status);

// The HTTP status of a request, 0 when it cannot be read.
DWORD QueryStatusCode(HINTERNET request);
// A response header as text; empty when absent.
std::wstring QueryHeader(HINTERNET request, DWORD query);
// Content-Length as a 64-bit number, -1 when absent or not a number
// (ParseContentLength).
std::int64_t QueryContentLength(HINTERNET request);

enum class PacedRead {
    Read,     // `read` bytes; fewer than asked only at the end of the body
    Failed,   // a transport error (a reset, the time-out)
    TooSlow,  // the reply fell below the lowest speed
    Expired,  // the deadline passed
};
// Reads up to `want` bytes, waiting only for the next bytes to arrive, never
// for all of them at once, so that the pace is looked at between arrivals
// (a single read of many bytes would wait for a trickling server as long as
// each of its bytes comes inside the receive time-out).
[[nodiscard]] PacedRead ReadPaced(HINTERNET request, char* buffer, DWORD want, DWORD& read, RequestPace& pace);

// Base and relative name joined with "//", then backslashes turned into
// slashes, doubled slashes reduced and the "http://" separator restored.
std::wstring JoinUrl(const std::wstring& base, const std::wstring& relative);

// Receives the bytes of a GET in order.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(const char* bytes, std::size_t count) = 0;
};

class MemorySink final : public ByteSink {
public:
    void Write(const char* bytes, std::size_t count) override { data_.append(bytes, count); }
    [[nodiscard]] const std::string& data() const { return data_; }

private:
    std::string data_;
};

// GET into the sink in chunks of up to 1024 bytes; false when the URL
// cannot be opened, the server answers other than 200/206, a read fails, or
// the reply is longer than NetLimits::documentBytes.
[[nodiscard]] bool HttpGetToSink(const std::wstring& url, ByteSink& sink);

enum HttpGetToFileResult : int {
    kGetToFileDone = 0,
    kGetToFileCannotCreate = 1,  // the target file cannot be created
    kGetToFileFailed = 2,        // nothing usable came back; no file is left
};
// GET saved to a file, for a document (at most NetLimits::documentBytes).
// Nothing is left at `path` unless the whole reply arrived.
[[nodiscard]] int HttpGetToFile(const std::wstring& url, const std::wstring& path);

// The first 1024 bytes of the reply as UTF-16LE text, or `fallback`.
std::wstring HttpGetText(const std::wstring& url, const std::wstring& fallback);

enum HttpPostResult : int {
    kPostDone = 0,
    kPostFailed = 1,    // failed, or not an http/https URL
    kPostTimedOut = 2,
};
// POST with an empty body (the parameters travel in the query string); the
// reply decoded as UTF-8. A reply longer than `maxBytes` (0: the limit of
// NetLimits::documentBytes) fails as soon as it is seen to be: nothing past
// the limit is read. The whole request ends within
// NetLimits::postDeadlineMs (kPostTimedOut after it).
[[nodiscard]] int HttpPost(const std::wstring& url, std::wstring& text, std::int64_t maxBytes = 0);

}  // namespace mf
