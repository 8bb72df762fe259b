#include "check/version_reply.h"

#include "base/strings.h"

namespace mf {

namespace {

constexpr wchar_t kVersionMark = L'\x05';
constexpr wchar_t kUrlMark = L'\x06';

// The text of an item: up to its first "<"; an item that is never closed
// carries nothing.
bool ItemText(const std::wstring& part, std::wstring& text) {
    const std::size_t end = part.find(L'<');
    if (end == std::wstring::npos) return false;
    text = Trim(std::wstring_view(part).substr(0, end));
    return true;
}

}  // namespace

std::wstring JoinReplyLines(std::string_view body) {
    std::wstring joined;
    std::size_t start = 0;
    while (start < body.size()) {
        std::size_t end = body.find('\n', start);
        if (end == std::string_view::npos) end = body.size();
        std::string_view line = body.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        joined += Widen(line);
        start = end + 1;
    }
    return Trim(joined);
}

VersionReply ParseVersionReply(std::wstring_view reply) {
    std::wstring text(reply);
    for (const wchar_t* tag : {L"<Ver>", L"<VER>", L"<ver>"}) ReplaceAll(text, tag, std::wstring(1, kVersionMark));
    for (const wchar_t* tag : {L"<URL>", L"<Url>", L"<url>"}) ReplaceAll(text, tag, std::wstring(1, kUrlMark));

    VersionReply result;
    const std::vector<std::wstring> versionParts = Split(text, kVersionMark);
    if (versionParts.size() >= 2) {
        std::wstring version;
        if (ItemText(versionParts[1], version)) result.version = version;
    }
    const std::vector<std::wstring> urlParts = Split(text, kUrlMark);
    for (std::size_t i = 1; i < urlParts.size(); ++i) {
        std::wstring url;
        if (ItemText(urlParts[i], url) && !url.empty()) result.listUrls.push_back(url);
    }
    return result;
}

}  // namespace mf
