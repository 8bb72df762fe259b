#include "net/internet.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <functional>
#include <vector>

#include "base/strings.h"
#include "base/text_format.h"
#include "engine/paths.h"
#include "engine/process_state.h"
#include "net/net_limits.h"
#include "net/scratch_file.h"

namespace mf {
namespace {

constexpr DWORD kChunk = 1024;
constexpr DWORD kPostTimeoutMs = 5000;
// "Accept: */*" on every GET, as the requests have always sent.
const wchar_t* kAcceptAny[] = {L"*/*", nullptr};

UniqueInternet OpenPreconfigured(const std::wstring& agent) {
    return UniqueInternet(::InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
}

bool SetStringOption(HINTERNET handle, DWORD option, const std::wstring& value) {
    return ::InternetSetOptionW(handle, option, const_cast<wchar_t*>(value.c_str()),
                                static_cast<DWORD>(value.size() + 1)) != FALSE;
}

void SetTimeout(HINTERNET handle, DWORD option, DWORD value) {
    ::InternetSetOptionW(handle, option, &value, sizeof(value));
}

// Windows hands a session's time-outs down to its requests; Wine does not,
// so every handle gets them itself, before the request is sent.
void SetTimeouts(HINTERNET handle, DWORD milliseconds) {
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT}) {
        SetTimeout(handle, option, milliseconds);
    }
}

struct CrackedUrl {
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    std::wstring host;
    std::wstring object;  // path and query
    INTERNET_PORT port = 0;
};

bool CrackUrl(const std::wstring& url, CrackedUrl& out) {
    std::array<wchar_t, INTERNET_MAX_HOST_NAME_LENGTH + 1> host{};
    std::vector<wchar_t> path(url.size() + 2);
    std::vector<wchar_t> extra(url.size() + 2);
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = static_cast<DWORD>(host.size());
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (!::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
    out.scheme = parts.nScheme;
    out.host.assign(host.data(), parts.dwHostNameLength);
    out.object.assign(path.data(), parts.dwUrlPathLength);
    out.object.append(extra.data(), parts.dwExtraInfoLength);
    if (out.object.empty()) out.object = L"/";
    out.port = parts.nPort;
    return !out.host.empty();
}

bool IsHttp(const CrackedUrl& parts) {
    return parts.scheme == INTERNET_SCHEME_HTTP || parts.scheme == INTERNET_SCHEME_HTTPS;
}

bool IsRedirect(DWORD status) {
    return status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT || status == HTTP_STATUS_REDIRECT_METHOD ||
           status == HTTP_STATUS_REDIRECT_KEEP_VERB || status == 308;
}

// Where a redirect leads: its Location taken relative to the URL that sent it.
std::wstring RedirectTarget(const std::wstring& from, const std::wstring& location) {
    DWORD length = static_cast<DWORD>(from.size() + location.size() + 64);
    std::vector<wchar_t> buffer(length);
    if (!::InternetCombineUrlW(from.c_str(), location.c_str(), buffer.data(), &length, 0)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        buffer.resize(length + 1);
        if (!::InternetCombineUrlW(from.c_str(), location.c_str(), buffer.data(), &length, 0)) return {};
    }
    return std::wstring(buffer.data(), length);
}

// Whether the reply says where its body ends in a way that can be trusted:
// an HTTP/1.x status line (an HTTP/0.9 reply is a bare body, whatever sent
// it) and no two Content-Length headers that disagree (which of them holds
// is anybody's guess). The reason, or empty when it can.
std::wstring FramingFault(HINTERNET request) {
    const std::wstring fault =
        StatusLineFault(QueryHeader(request, HTTP_QUERY_VERSION), QueryHeader(request, HTTP_QUERY_RAW_HEADERS_CRLF));
    if (!fault.empty()) return fault;
    std::wstring first;
    for (DWORD index = 0;;) {
        wchar_t value[64] = {};
        DWORD size = sizeof value - sizeof(wchar_t);
        const DWORD asked = index;
        if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, value, &size, &index)) break;
        const std::wstring length = Trim(std::wstring(value, size / sizeof(wchar_t)));
        if (asked == 0) {
            first = length;
        } else if (length != first) {
            return L"Content-Length " + first + L" and " + length;
        }
        if (index == asked) break;
    }
    return {};
}

void SetError(OpenUrlError* error, OpenUrlError value) {
    if (error != nullptr) *error = value;
}

// Opens and sends one request of a chain to `parts`; false when that failed
// (the system's error is left for the caller).
using SendOne = std::function<bool(const CrackedUrl& parts, UniqueInternet& connection, UniqueInternet& request)>;

// How a request of a chain is opened, apart from its address.
struct RequestForm {
    const wchar_t* verb = L"GET";
    DWORD connectFlags = 0;      // InternetConnectW's
    bool secureConnect = false;  // INTERNET_FLAG_SECURE in those too, for https
    DWORD requestFlags = 0;      // HttpOpenRequestW's, besides those added below
    const wchar_t** acceptTypes = nullptr;
    DWORD_PTR context = 0;
    std::function<void(HINTERNET)> setTimeouts;
    // Added before "Accept-Encoding: identity", which every request sends.
    std::vector<const wchar_t*> headers;
    // WinINet decodes a compressed reply all the same.
    bool decode = false;
};

// Connects to the host of `parts` and opens the request there: secure for
// https, never following a redirect itself (FollowRedirects does), with the
// form's time-outs and headers. False when a handle cannot be had.
bool OpenRequest(HINTERNET root, const CrackedUrl& parts, const RequestForm& form, UniqueInternet& connect,
                 UniqueInternet& open) {
    const DWORD secure = parts.scheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0;
    connect.reset(::InternetConnectW(root, parts.host.c_str(), parts.port, nullptr, nullptr, INTERNET_SERVICE_HTTP,
                                     form.connectFlags | (form.secureConnect ? secure : 0), form.context));
    if (!connect) return false;
    open.reset(::HttpOpenRequestW(connect.get(), form.verb, parts.object.c_str(), nullptr, nullptr, form.acceptTypes,
                                  form.requestFlags | INTERNET_FLAG_NO_AUTO_REDIRECT | secure, form.context));
    if (!open) return false;
    // Windows hands the session's time-outs down to its requests; Wine
    // does not, so the request gets them too.
    form.setTimeouts(connect.get());
    form.setTimeouts(open.get());
    std::vector<const wchar_t*> headers = form.headers;
    headers.push_back(L"Accept-Encoding: identity\r\n");
    for (const wchar_t* header : headers) {
        ::HttpAddRequestHeadersW(open.get(), header, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    }
    if (form.decode) {
        BOOL decode = TRUE;
        ::InternetSetOptionW(open.get(), INTERNET_OPTION_HTTP_DECODING, &decode, sizeof decode);
    }
    return true;
}

// WinINet follows redirects on its own without any limit (a loop runs until
// something else gives up), and to any scheme it knows; so requests are sent
// with INTERNET_FLAG_NO_AUTO_REDIRECT and their redirects followed here,
// counted, and only to http and https. `redirected` hears each redirect's
// status before the next request is sent. On success `connection` and
// `request` hold the last reply.
OpenUrlError FollowRedirects(const std::wstring& url, const SendOne& send, UniqueInternet& connection,
                             UniqueInternet& request, const std::function<void(DWORD status)>& redirected = {}) {
    const int most = Limits().redirects;
    std::wstring current = url;
    for (int redirects = 0;; ++redirects) {
        CrackedUrl parts;
        if (!CrackUrl(current, parts) || !IsHttp(parts)) {
            WriteLog(Format(L"Not an http or https URL: %s", current));
            return OpenUrlError::NotHttp;
        }
        if (redirects > 0 && parts.scheme != INTERNET_SCHEME_HTTPS && StartsWith(ToLower(url), L"https:")) {
            // What came over https stays on https: a redirect to plain http
            // would hand the request to whoever is on the way.
            WriteLog(Format(L"Refused a redirect from https to %s", current));
            return OpenUrlError::NotHttp;
        }
        request.reset();
        connection.reset();
        if (!send(parts, connection, request)) {
            // Certificate errors (12045 unknown authority, 12038 wrong
            // name, 12037 expired ...) are never ignored; the log says which.
            // The caller still reads the error (a time-out is told apart from
            // a failure), so writing the log must not change it.
            const DWORD error = ::GetLastError();
            WriteLog(Format(L"Request failed with WinINet error %u: %s", static_cast<unsigned>(error), current));
            ::SetLastError(error);
            return OpenUrlError::Failed;
        }
        const DWORD status = QueryStatusCode(request.get());
        const std::wstring location = IsRedirect(status) ? QueryHeader(request.get(), HTTP_QUERY_LOCATION) : L"";
        if (location.empty()) return OpenUrlError::None;
        if (redirects >= most) {
            WriteLog(Format(L"More than %d redirects for %s", most, url));
            return OpenUrlError::TooManyRedirects;
        }
        if (redirected) redirected(status);
        current = RedirectTarget(current, location);
    }
}

// The Content-Length of a reply, when it is within `most`; -2 (with a log
// line) when it announces more, -1 when it announces nothing.
std::int64_t AnnouncedLength(HINTERNET request, std::int64_t most, const std::wstring& url) {
    // A decoded body is longer than the compressed length the header counts.
    if (IsEncodedReply(request)) return -1;
    const std::int64_t length = QueryContentLength(request);
    if (length <= most) return length;
    WriteLog(Format(L"Reply of %ld bytes is over the limit of %ld: %s", length, most, url));
    return -2;
}

// A reply that ends before its announced length lost its connection; WinINet
// reports that as an ordinary end.
bool EndedEarly(std::int64_t announced, std::int64_t received, const std::wstring& url) {
    if (announced < 0 || received == announced) return false;
    WriteLog(Format(L"Connection lost after %ld of %ld bytes: %s", received, announced, url));
    return true;
}

// The pace of a document's reply: its deadline grows with the length it
// announced, or with the most a document may hold when it named none.
RequestPace DocumentPace(std::int64_t announced) {
    const NetLimits& limits = Limits();
    const std::uint64_t now = ::GetTickCount64();
    RequestPace pace(limits, now);
    pace.SetDeadline(now + FileDeadlineMs(limits, announced >= 0 ? announced : limits.documentBytes));
    return pace;
}

// A paced read of a document's next chunk; false (logged) when the reply
// failed, or is too slow or too late to be waited for.
bool ReadDocumentChunk(HINTERNET request, char* buffer, DWORD& read, RequestPace& pace, const std::wstring& url) {
    switch (ReadPaced(request, buffer, kChunk, read, pace)) {
        case PacedRead::Read:
            return true;
        case PacedRead::Failed:
            return false;
        case PacedRead::TooSlow:
            WriteLog(L"Reply too slow, given up: " + url);
            return false;
        case PacedRead::Expired:
            WriteLog(L"Reply not done in time, given up: " + url);
            return false;
    }
    return false;
}

}  // namespace

ProxySetting ParseProxySetting(const std::wstring& proxy, const std::wstring& proxyUser) {
    ProxySetting setting;
    if (proxy.empty()) return setting;
    setting.useProxy = true;
    const std::vector<std::wstring> fields = Split(proxy, L':');
    // A host or a port left empty cannot name a proxy either.
    if (fields.size() < 2 || Trim(fields[0]).empty() || Trim(fields[1]).empty()) {
        setting.valid = false;
        return setting;
    }
    // Secure requests go through the same proxy: a list naming only HTTP
    // would send them to their servers directly.
    setting.proxyList =
        L"HTTP=HTTP://" + fields[0] + L":" + fields[1] + L" HTTPS=HTTP://" + fields[0] + L":" + fields[1];
    if (!proxyUser.empty()) {
        const std::vector<std::wstring> credentials = Split(proxyUser, L',');
        if (!credentials.empty()) {
            setting.hasUser = true;
            setting.user = credentials[0];
        }
        if (credentials.size() >= 2) {
            setting.hasPassword = true;
            setting.password = credentials[1];
        }
    }
    return setting;
}

bool IsContentStatus(DWORD status) { return status == HTTP_STATUS_OK || status == HTTP_STATUS_PARTIAL_CONTENT; }

bool ConfiguredProxyUsable() {
    return ParseProxySetting(ReadConfig(L"Mirefold", L"Proxy"), ReadConfig(L"Mirefold", L"ProxyUser")).valid;
}

UniqueInternet OpenInternet(const std::wstring& agent) {
    const ProxySetting setting =
        ParseProxySetting(ReadConfig(L"Mirefold", L"Proxy"), ReadConfig(L"Mirefold", L"ProxyUser"));
    if (!setting.useProxy) return OpenPreconfigured(agent);
    if (!setting.valid) {
        WriteLog(Translate(L"The proxy set error!"));
        return {};
    }
    UniqueInternet root(
        ::InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, setting.proxyList.c_str(), nullptr, 0));
    if (root) {
        if (setting.hasUser) SetStringOption(root.get(), INTERNET_OPTION_PROXY_USERNAME, setting.user);
        if (setting.hasPassword) SetStringOption(root.get(), INTERNET_OPTION_PROXY_PASSWORD, setting.password);
    }
    return root;
}

bool IsEncodedReply(HINTERNET request) {
    const std::wstring encoding = ToLower(Trim(QueryHeader(request, HTTP_QUERY_CONTENT_ENCODING)));
    return !encoding.empty() && encoding != L"identity";
}

HttpRequest OpenUrl(HINTERNET root, const std::wstring& url, const std::wstring& headers, DWORD flags,
                    OpenUrlError* error, ReplyEncoding encoding) {
    const DWORD timeoutMs = Limits().timeoutMs;
    RequestForm form;
    form.requestFlags = flags;
    form.acceptTypes = kAcceptAny;
    form.setTimeouts = [timeoutMs](HINTERNET handle) { SetTimeouts(handle, timeoutMs); };
    form.decode = encoding == ReplyEncoding::Decoded;
    UniqueInternet connection;
    UniqueInternet request;
    const OpenUrlError result = FollowRedirects(
        url,
        [&](const CrackedUrl& parts, UniqueInternet& connect, UniqueInternet& open) {
            if (!OpenRequest(root, parts, form, connect, open)) return false;
            return ::HttpSendRequestW(open.get(), headers.empty() ? nullptr : headers.c_str(),
                                      headers.empty() ? 0 : static_cast<DWORD>(-1), nullptr, 0) != FALSE;
        },
        connection, request);
    SetError(error, result);
    if (result != OpenUrlError::None) return {};
    const std::wstring fault = FramingFault(request.get());
    if (!fault.empty()) {
        WriteLog(Format(L"Reply refused, %s: %s", fault, url));
        SetError(error, OpenUrlError::Malformed);
        return {};
    }
    if (encoding == ReplyEncoding::AsSentOnly && IsEncodedReply(request.get())) {
        WriteLog(Format(L"The server sent the reply compressed (%s), unasked: %s",
                        QueryHeader(request.get(), HTTP_QUERY_CONTENT_ENCODING), url));
        SetError(error, OpenUrlError::Encoded);
        return {};
    }
    return HttpRequest(std::move(connection), std::move(request));
}

DWORD QueryStatusCode(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
    return status;
}

std::wstring QueryHeader(HINTERNET request, DWORD query) {
    std::vector<wchar_t> buffer(512);
    for (int pass = 0; pass < 2; ++pass) {
        DWORD size = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        if (::HttpQueryInfoW(request, query, buffer.data(), &size, nullptr))
            return std::wstring(buffer.data(), size / sizeof(wchar_t));
        // A long value (a Location, say) is read once more at its length;
        // a header of more than 64 KiB is not one worth reading.
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size > 65536) return {};
        buffer.assign(size / sizeof(wchar_t) + 2, L'\0');
    }
    return {};
}

std::int64_t QueryContentLength(HINTERNET request) {
    // Read as text: the numeric query is 32-bit and would wrap a large size.
    return ParseContentLength(QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH));
}

std::wstring JoinUrl(const std::wstring& base, const std::wstring& relative) {
    std::wstring url = base;
    if (!relative.empty()) url += L"//" + relative;
    ReplaceAll(url, L"\\", L"/");
    ReplaceAll(url, L"//", L"/");
    ReplaceAll(url, L"http:/", L"http://");
    ReplaceAll(url, L"HTTP:/", L"HTTP://");
    // A secure server is reached the same way: without this, its base URL
    // would lose the second slash of "https://" and name no host at all.
    ReplaceAll(url, L"https:/", L"https://");
    ReplaceAll(url, L"HTTPS:/", L"HTTPS://");
    return url;
}

PacedRead ReadPaced(HINTERNET request, char* buffer, DWORD want, DWORD& read, RequestPace& pace) {
    read = 0;
    while (read < want) {
        DWORD available = 0;
        if (!::InternetQueryDataAvailable(request, &available, 0, 0)) return PacedRead::Failed;
        if (available == 0) break;  // the end of the body
        DWORD got = 0;
        if (!::InternetReadFile(request, buffer + read, std::min(available, want - read), &got)) {
            return PacedRead::Failed;
        }
        if (got == 0) break;
        read += got;
        switch (pace.Note(got, ::GetTickCount64())) {
            case Pace::Ok:
                break;
            case Pace::TooSlow:
                return PacedRead::TooSlow;
            case Pace::Expired:
                return PacedRead::Expired;
        }
    }
    return PacedRead::Read;
}

bool HttpGetToSink(const std::wstring& url, ByteSink& sink) {
    UniqueInternet root = OpenInternet(L"MyDownload");
    if (!root) return false;
    HttpRequest request = OpenUrl(root.get(), url, L"", kFreshFlags, nullptr, ReplyEncoding::Decoded);
    if (!request) return false;
    // An error page is not the document that was asked for.
    if (!IsContentStatus(QueryStatusCode(request.get()))) {
        WriteLog(L"HTTP status " + ToWString(QueryStatusCode(request.get())) + L" for " + url);
        return false;
    }
    const std::int64_t most = Limits().documentBytes;
    const std::int64_t announced = AnnouncedLength(request.get(), most, url);
    if (announced == -2) return false;
    // The decoder hands out what it has inflated so far: a short read there
    // is no end.
    const bool decoded = IsEncodedReply(request.get());
    std::array<char, kChunk> buffer;
    std::int64_t total = 0;
    RequestPace pace = DocumentPace(announced);
    for (;;) {
        DWORD read = 0;
        if (!ReadDocumentChunk(request.get(), buffer.data(), read, pace, url)) return false;
        total += read;
        if (total > most) {
            WriteLog(Format(L"Reply over the limit of %ld bytes: %s", most, url));
            return false;
        }
        if (read > 0) sink.Write(buffer.data(), read);
        if (read == 0 || (read < kChunk && !decoded)) return !EndedEarly(announced, total, url);
    }
}

int HttpGetToFile(const std::wstring& url, const std::wstring& path) {
    UniqueInternet root = OpenInternet(L"");
    HttpRequest request;
    if (root) request = OpenUrl(root.get(), url, L"", kFreshFlags, nullptr, ReplyEncoding::Decoded);
    // Written as a scratch file: a reply that fails, or the end of the
    // process in the middle of one, leaves nothing at `path`.
    ScratchFile file = ScratchFile::Create(path);
    if (!file) {
        WriteLog(L"Cannot create " + path);
        return kGetToFileCannotCreate;
    }
    // An unreachable URL or an error status must not pass for an empty
    // download: the file is removed and the caller told.
    bool ok = request && IsContentStatus(QueryStatusCode(request.get()));
    if (request && !ok) WriteLog(L"HTTP status " + ToWString(QueryStatusCode(request.get())) + L" for " + url);
    const std::int64_t most = Limits().documentBytes;
    const std::int64_t announced = ok ? AnnouncedLength(request.get(), most, url) : -1;
    if (announced == -2) ok = false;
    std::array<char, kChunk> buffer;
    std::int64_t total = 0;
    RequestPace pace = DocumentPace(announced);
    while (ok) {
        DWORD read = 0;
        if (!ReadDocumentChunk(request.get(), buffer.data(), read, pace, url)) {
            ok = false;
            break;
        }
        if (read == 0) break;
        total += read;
        if (total > most) {
            WriteLog(Format(L"Reply over the limit of %ld bytes: %s", most, url));
            ok = false;
            break;
        }
        DWORD written = 0;
        if (!::WriteFile(file.get(), buffer.data(), read, &written, nullptr) || written != read) ok = false;
    }
    if (ok && EndedEarly(announced, total, url)) ok = false;
    if (ok && file.Keep()) return kGetToFileDone;
    file.Close();
    DeleteFileForce(path);
    WriteLog(L"Download failed: " + url);
    return kGetToFileFailed;
}

std::wstring HttpGetText(const std::wstring& url, const std::wstring& fallback) {
    UniqueInternet root = OpenInternet(L"MyDownload");
    if (!root) return fallback;
    HttpRequest request = OpenUrl(root.get(), url, L"", kFreshFlags, nullptr, ReplyEncoding::Decoded);
    if (!request || !IsContentStatus(QueryStatusCode(request.get()))) return fallback;
    std::array<char, kChunk> buffer;
    DWORD read = 0;
    RequestPace pace = DocumentPace(kChunk);
    if (!ReadDocumentChunk(request.get(), buffer.data(), read, pace, url)) return fallback;
    return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data()), read / sizeof(wchar_t));
}

namespace {

void SetPostTimeouts(HINTERNET handle) {
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT}) {
        SetTimeout(handle, option, kPostTimeoutMs);
    }
    SetTimeout(handle, INTERNET_OPTION_CONNECT_RETRIES, 1);
}

// Wine reports a receive time-out as an aborted connection (12030) where
// Windows says 12002; a failure that came only after the whole time-out is
// taken for a time-out either way.
int PostFailure(ULONGLONG waitedSince) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_INTERNET_TIMEOUT) return kPostTimedOut;
    if (error == ERROR_INTERNET_CONNECTION_ABORTED && ::GetTickCount64() - waitedSince >= kPostTimeoutMs - 100) {
        return kPostTimedOut;
    }
    return kPostFailed;
}

std::wstring ApplicationName() {
    const std::wstring name = Process().run.executableBaseName;
    return name.empty() ? std::wstring(L"mirefold") : name;
}

// The deadline of one POST. A blocking WinINet call cannot be given one,
// and a server that sends a byte now and then never lets a time-out pass;
// so a watch thread closes the session's root handle when the deadline
// passes, which ends whatever call is blocked below it.
class PostDeadline {
public:
    PostDeadline(HINTERNET root, DWORD milliseconds)
        : root_(root), end_(::GetTickCount64() + milliseconds), watch_([this] { Watch(); }) {}
    ~PostDeadline() { (void)Stop(); }
    PostDeadline(const PostDeadline&) = delete;
    PostDeadline& operator=(const PostDeadline&) = delete;

    // Milliseconds left, at least 1 (a time-out of 0 means none).
    [[nodiscard]] DWORD Left() const {
        const ULONGLONG now = ::GetTickCount64();
        return now >= end_ ? 1 : static_cast<DWORD>(std::min<ULONGLONG>(end_ - now, 0xFFFFFFF0));
    }
    [[nodiscard]] bool Passed() const { return ::GetTickCount64() >= end_; }
    // Whether the watch has closed the root handle (and what was below it).
    [[nodiscard]] bool Fired() {
        std::lock_guard<std::mutex> hold(lock_);
        return fired_;
    }
    // Ends the watch; true when it had closed the root handle.
    bool Stop() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            done_ = true;
        }
        wake_.notify_all();
        if (watch_.joinable()) watch_.join();
        return fired_;
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> hold(lock_);
        if (wake_.wait_for(hold, std::chrono::milliseconds(Left()), [this] { return done_; })) return;
        fired_ = true;
        ::InternetCloseHandle(root_);
    }

    HINTERNET root_;
    ULONGLONG end_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool done_ = false;
    bool fired_ = false;
    std::thread watch_;
};

// The reply's body, up to `most` bytes, decoded as UTF-8 into `text`.
int ReadPostReply(HINTERNET request, const std::wstring& url, std::int64_t most, const PostDeadline& deadline,
                  std::wstring& text) {
    const std::int64_t announced = AnnouncedLength(request, most, url);
    if (announced == -2) return kPostFailed;
    std::string bytes;
    std::array<char, kChunk> buffer;
    std::int64_t total = 0;
    RequestPace pace = DocumentPace(announced);
    for (;;) {
        if (deadline.Passed()) return kPostTimedOut;
        const ULONGLONG started = ::GetTickCount64();
        // Only what has arrived is read, so the deadline and the pace are
        // looked at between trickled pieces; a failed wait keeps its error for
        // PostFailure.
        DWORD available = 0;
        if (!::InternetQueryDataAvailable(request, &available, 0, 0)) return PostFailure(started);
        if (available == 0) break;
        DWORD read = 0;
        if (!::InternetReadFile(request, buffer.data(), std::min<DWORD>(available, kChunk), &read))
            return PostFailure(started);
        if (read == 0) break;
        if (pace.Note(read, ::GetTickCount64()) != Pace::Ok) {
            WriteLog(L"Reply too slow, given up: " + url);
            return kPostTimedOut;
        }
        total += read;
        if (total > most) {
            WriteLog(Format(L"Reply over the limit of %ld bytes: %s", most, url));
            return kPostFailed;
        }
        // A chunk counts up to its first NUL byte.
        bytes.append(buffer.data(), strnlen(buffer.data(), read));
    }
    if (EndedEarly(announced, total, url)) return kPostFailed;
    text = Widen(bytes, CodePage::Utf8);
    return kPostDone;
}

// Every handle of the request waits no longer than the deadline leaves.
void SetPostTimeoutsWithin(HINTERNET handle, const PostDeadline& deadline) {
    SetPostTimeouts(handle);
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT}) {
        SetTimeout(handle, option, std::min(kPostTimeoutMs, deadline.Left()));
    }
}

// The request itself, on a session that the deadline watches. Reads ask
// for no more than has arrived, so that the deadline is looked at between
// any two pieces of a trickled answer.
int PostOn(HINTERNET session, const std::wstring& url, std::wstring& text, std::int64_t most,
           PostDeadline& deadline) {
    ULONGLONG started = ::GetTickCount64();
    SetPostTimeoutsWithin(session, deadline);
    // Redirects are followed as for every GET (OpenUrl); like a browser, a
    // 307 or 308 repeats the POST and the others ask with a GET (the body is
    // empty either way).
    RequestForm form;
    form.verb = L"POST";
    form.connectFlags = INTERNET_FLAG_KEEP_CONNECTION;
    form.secureConnect = true;
    form.requestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;
    form.context = 1;
    form.setTimeouts = [&deadline](HINTERNET handle) { SetPostTimeoutsWithin(handle, deadline); };
    form.headers = {L"Accept: */*\r\n", L"Content-Type: application/x-www-form-urlencoded\r\n"};
    // A server that compresses all the same is decoded (see OpenUrl).
    form.decode = true;
    UniqueInternet connection;
    UniqueInternet request;
    const OpenUrlError result = FollowRedirects(
        url,
        [&](const CrackedUrl& target, UniqueInternet& connect, UniqueInternet& open) {
            if (deadline.Passed() || !OpenRequest(session, target, form, connect, open)) return false;
            started = ::GetTickCount64();
            return ::HttpSendRequestW(open.get(), nullptr, 0, nullptr, 0) != FALSE;
        },
        connection, request,
        [&](DWORD status) {
            if (status != HTTP_STATUS_REDIRECT_KEEP_VERB && status != 308) form.verb = L"GET";
        });
    // Closed by the deadline's watch together with the session: not again.
    auto forget = [&] {
        if (deadline.Fired()) {
            (void)request.release();
            (void)connection.release();
        }
    };
    if (result == OpenUrlError::Failed) {
        const int failure = PostFailure(started);
        forget();
        return failure;
    }
    if (result != OpenUrlError::None) {
        forget();
        return kPostFailed;
    }
    const int read = ReadPostReply(request.get(), url, most, deadline, text);
    forget();
    return read;
}

}  // namespace

int HttpPost(const std::wstring& url, std::wstring& text, std::int64_t maxBytes) {
    text.clear();
    CrackedUrl parts;
    if (!CrackUrl(url, parts) || !IsHttp(parts)) return kPostFailed;

    ULONGLONG started = ::GetTickCount64();
    UniqueInternet session = OpenInternet(ApplicationName());
    if (!session) return PostFailure(started);
    PostDeadline deadline(session.get(), Limits().postDeadlineMs);
    const int result = PostOn(session.get(), url, text, maxBytes > 0 ? maxBytes : Limits().documentBytes, deadline);
    if (deadline.Stop()) {
        // The watch closed the session, and with it what was open below it.
        (void)session.release();
        WriteLog(Format(L"No whole answer within %u s: %s", Limits().postDeadlineMs / 1000, url));
        text.clear();
        return kPostTimedOut;
    }
    return result;
}

}  // namespace mf
