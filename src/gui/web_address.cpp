#include "gui/web_address.h"

#include <windows.h>
#include <shlwapi.h>
#include <urlmon.h>

#include "base/handles.h"
#include "base/strings.h"

namespace mf::gui {

namespace {

// A BSTR freed when the text is taken.
std::wstring TakeText(BSTR text) {
    std::wstring out = text != nullptr ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
    ::SysFreeString(text);
    return out;
}

}  // namespace

bool HasControlCharacters(std::wstring_view text) {
    for (wchar_t c : text)
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
    return false;
}

std::optional<WebAddress> ParseWebAddress(std::wstring_view url) {
    if (url.empty() || HasControlCharacters(url)) return std::nullopt;
    const std::wstring text(url);
    ComPtr<IUri> uri;
    if (FAILED(::CreateUri(text.c_str(), Uri_CREATE_NO_DECODE_EXTRA_INFO, 0, uri.GetAddressOf())) || !uri)
        return std::nullopt;
    DWORD scheme = URL_SCHEME_INVALID;
    if (FAILED(uri->GetScheme(&scheme)) || (scheme != URL_SCHEME_HTTP && scheme != URL_SCHEME_HTTPS))
        return std::nullopt;
    BSTR host = nullptr;
    if (FAILED(uri->GetHost(&host))) return std::nullopt;
    WebAddress address;
    address.host = ToLower(TakeText(host));
    if (address.host.empty()) return std::nullopt;
    address.scheme = scheme == URL_SCHEME_HTTPS ? L"https" : L"http";
    DWORD port = 0;
    address.port = SUCCEEDED(uri->GetPort(&port)) && port != 0 ? port : (scheme == URL_SCHEME_HTTPS ? 443u : 80u);
    return address;
}

namespace {

bool DefaultPort(const WebAddress& a) {
    return (a.scheme == L"http" && a.port == 80) || (a.scheme == L"https" && a.port == 443);
}

}  // namespace

bool SameSite(const WebAddress& a, const WebAddress& b) {
    // A site that moves from http to https on its default ports stays itself.
    return a.host == b.host && (a.port == b.port || (DefaultPort(a) && DefaultPort(b)));
}

}  // namespace mf::gui
