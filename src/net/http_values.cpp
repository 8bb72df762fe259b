#include "net/http_values.h"

#include <cstdint>

#include "base/strings.h"

namespace mf {

namespace {

// A run of decimal digits as a number; -1 for anything else. Values past
// what 63 bits hold are taken as the largest one, which every limit refuses.
std::int64_t DecimalOrMinusOne(const std::wstring& text) {
    if (text.empty() || text.find_first_not_of(L"0123456789") != std::wstring::npos) return -1;
    if (text.size() > 18) return INT64_MAX;
    return ParseInt64(text);
}

}  // namespace

ContentRange ParseContentRange(const std::wstring& text) {
    ContentRange range;
    const std::wstring value = Trim(text);
    if (ToLower(value.substr(0, 6)) != L"bytes ") return range;
    const std::size_t dash = value.find(L'-', 6);
    const std::size_t slash = value.find(L'/', 6);
    if (dash == std::wstring::npos || slash == std::wstring::npos || dash > slash) return range;
    range.first = DecimalOrMinusOne(Trim(value.substr(6, dash - 6)));
    range.last = DecimalOrMinusOne(Trim(value.substr(dash + 1, slash - dash - 1)));
    const std::wstring total = Trim(value.substr(slash + 1));
    range.total = total == L"*" ? -1 : DecimalOrMinusOne(total);
    if (range.first < 0 || range.last < range.first) return range;
    if (total != L"*" && (range.total < 0 || range.last >= range.total)) return range;
    range.valid = true;
    return range;
}

std::int64_t ContentRangeTotal(const std::wstring& contentRange) {
    const ContentRange range = ParseContentRange(contentRange);
    return range.valid ? range.total : -1;
}

std::int64_t ParseContentLength(const std::wstring& text) { return DecimalOrMinusOne(Trim(text)); }

std::wstring StatusLineFault(const std::wstring& version, const std::wstring& rawHeaders) {
    const std::wstring trimmed = Trim(version);
    if (!StartsWith(ToLower(trimmed), L"http/1.")) return L"not an HTTP/1.x reply (" + trimmed + L")";
    // Wine gives an HTTP/0.9 reply the status line "HTTP/1.0 200 OK" of its
    // own, and no header field: no HTTP/1.x server answers without one.
    const std::size_t statusEnd = rawHeaders.find(L"\r\n");
    if (statusEnd == std::wstring::npos || Trim(rawHeaders.substr(statusEnd)).empty())
        return L"no header fields: an HTTP/0.9 reply";
    return {};
}

}  // namespace mf
