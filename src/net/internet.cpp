#include "net/internet.h"

#include <array>

#include "base/strings.h"
#include "engine/paths.h"
#include "engine/process_state.h"

namespace mf {
namespace {

constexpr DWORD kChunk = 1024;
constexpr wchar_t kAcceptAll[] = L"Accept: */*\r\n\r\n";
constexpr DWORD kPostTimeoutMs = 5000;

UniqueInternet OpenPreconfigured(const std::wstring& agent) {
    return UniqueInternet(::InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
}

// A GET with "Accept: */*" that must reach the server, not a cache.
UniqueInternet OpenAcceptAll(HINTERNET root, const std::wstring& url) {
    return UniqueInternet(::InternetOpenUrlW(root, url.c_str(), kAcceptAll, static_cast<DWORD>(wcslen(kAcceptAll)),
                                             kFreshFlags, 0));
}

bool SetStringOption(HINTERNET handle, DWORD option, const std::wstring& value) {
    return ::InternetSetOptionW(handle, option, const_cast<wchar_t*>(value.c_str()),
                                static_cast<DWORD>(value.size() + 1)) != FALSE;
}

void SetTimeout(HINTERNET handle, DWORD option, DWORD value) {
    ::InternetSetOptionW(handle, option, &value, sizeof(value));
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
    setting.proxyList = L"HTTP=HTTP://" + fields[0] + L":" + fields[1];
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
    const ProxySetting setting = ParseProxySetting(ReadConfig(L"Mirefold", L"Proxy"), ReadConfig(L"Mirefold", L"ProxyUser"));
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

UniqueInternet OpenUrl(HINTERNET root, const std::wstring& url, const std::wstring& headers, DWORD flags) {
    return UniqueInternet(::InternetOpenUrlW(root, url.c_str(), headers.empty() ? nullptr : headers.c_str(),
                                             headers.empty() ? 0 : static_cast<DWORD>(-1), flags, 0));
}

DWORD QueryStatusCode(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
    return status;
}

std::wstring QueryHeader(HINTERNET request, DWORD query) {
    std::array<wchar_t, 512> buffer{};
    DWORD size = static_cast<DWORD>(sizeof(buffer) - sizeof(wchar_t));
    if (!::HttpQueryInfoW(request, query, buffer.data(), &size, nullptr)) return {};
    return std::wstring(buffer.data(), size / sizeof(wchar_t));
}

std::int64_t QueryContentLength(HINTERNET request) {
    // Read as text: the numeric query is 32-bit and would wrap a large size.
    const std::wstring text = Trim(QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH));
    if (text.empty() || text.find_first_not_of(L"0123456789") != std::wstring::npos) return -1;
    if (text.size() > 18) return INT64_MAX;
    return ParseInt64(text);
}

std::int64_t ContentRangeTotal(const std::wstring& contentRange) {
    const std::size_t slash = contentRange.rfind(L'/');
    if (slash == std::wstring::npos) return -1;
    const std::wstring total = Trim(contentRange.substr(slash + 1));
    if (total.empty() || total.find_first_not_of(L"0123456789") != std::wstring::npos) return -1;
    if (total.size() > 18) return INT64_MAX;
    return ParseInt64(total);
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

bool HttpGetToSink(const std::wstring& url, ByteSink& sink) {
    UniqueInternet root = OpenPreconfigured(L"MyDownload");
    if (!root) return false;
    UniqueInternet request = OpenAcceptAll(root.get(), url);
    if (!request) return false;
    // An error page is not the document that was asked for.
    if (!IsContentStatus(QueryStatusCode(request.get()))) {
        WriteLog(L"HTTP status " + ToWString(QueryStatusCode(request.get())) + L" for " + url);
        return false;
    }
    std::array<char, kChunk> buffer;
    for (;;) {
        DWORD read = 0;
        if (!::InternetReadFile(request.get(), buffer.data(), kChunk, &read)) return false;
        if (read > 0) sink.Write(buffer.data(), read);
        if (read < kChunk) return true;
    }
}

int HttpGetToFile(const std::wstring& url, const std::wstring& path) {
    UniqueInternet root = OpenPreconfigured(L"");
    UniqueInternet request;
    if (root) request = OpenUrl(root.get(), url, L"", kFreshFlags);
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        WriteLog(L"Cannot create " + path);
        return kGetToFileCannotCreate;
    }
    // An unreachable URL or an error status must not pass for an empty
    // download: the file is removed and the caller told.
    bool ok = request && IsContentStatus(QueryStatusCode(request.get()));
    if (request && !ok) WriteLog(L"HTTP status " + ToWString(QueryStatusCode(request.get())) + L" for " + url);
    std::array<char, kChunk> buffer;
    while (ok) {
        DWORD read = 0;
        if (!::InternetReadFile(request.get(), buffer.data(), kChunk, &read)) {
            ok = false;
            break;
        }
        if (read == 0) break;
        DWORD written = 0;
        if (!::WriteFile(file.get(), buffer.data(), read, &written, nullptr) || written != read) ok = false;
    }
    file.reset();
    if (ok) return kGetToFileDone;
    DeleteFileForce(path);
    WriteLog(L"Download failed: " + url);
    return kGetToFileFailed;
}

std::wstring HttpGetText(const std::wstring& url, const std::wstring& fallback) {
    UniqueInternet root = OpenPreconfigured(L"MyDownload");
    if (!root) return fallback;
    UniqueInternet request = OpenAcceptAll(root.get(), url);
    if (!request || !IsContentStatus(QueryStatusCode(request.get()))) return fallback;
    std::array<char, kChunk> buffer;
    DWORD read = 0;
    if (!::InternetReadFile(request.get(), buffer.data(), kChunk, &read)) return fallback;
    return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data()), read / sizeof(wchar_t));
}

namespace {

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
    const std::wstring name = Process().executableBaseName;
    return name.empty() ? std::wstring(L"mirefold") : name;
}

}  // namespace

int HttpPost(const std::wstring& url, std::wstring& text) {
    text.clear();
    CrackedUrl parts;
    if (!CrackUrl(url, parts)) return kPostFailed;
    if (parts.scheme != INTERNET_SCHEME_HTTP && parts.scheme != INTERNET_SCHEME_HTTPS) return kPostFailed;
    const DWORD secure = parts.scheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0;

    ULONGLONG started = ::GetTickCount64();
    UniqueInternet session(::InternetOpenW(ApplicationName().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return PostFailure(started);
    SetPostTimeouts(session.get());

    UniqueInternet connection(::InternetConnectW(session.get(), parts.host.c_str(), parts.port, nullptr, nullptr,
                                                 INTERNET_SERVICE_HTTP, INTERNET_FLAG_KEEP_CONNECTION | secure, 1));
    if (!connection) return PostFailure(started);
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION | secure;
    UniqueInternet request(
        ::HttpOpenRequestW(connection.get(), L"POST", parts.object.c_str(), nullptr, nullptr, nullptr, flags, 1));
    if (!request) return PostFailure(started);
    // Windows hands the session's time-outs down to its requests; Wine does
    // not, so the request gets them too.
    SetPostTimeouts(connection.get());
    SetPostTimeouts(request.get());
    for (const wchar_t* header : {L"Accept: */*\r\n", L"Content-Type: application/x-www-form-urlencoded\r\n"}) {
        ::HttpAddRequestHeadersW(request.get(), header, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    }
    started = ::GetTickCount64();
    if (!::HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return PostFailure(started);

    std::string bytes;
    std::array<char, kChunk> buffer;
    for (;;) {
        DWORD read = 0;
        started = ::GetTickCount64();
        if (!::InternetReadFile(request.get(), buffer.data(), kChunk, &read)) return PostFailure(started);
        if (read == 0) break;
        // A chunk counts up to its first NUL byte.
        bytes.append(buffer.data(), strnlen(buffer.data(), read));
    }
    text = Widen(bytes, CodePage::Utf8);
    return kPostDone;
}

}  // namespace mf
