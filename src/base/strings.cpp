#include "base/strings.h"

#include <climits>
#include <cwctype>

namespace mf {

std::wstring ToLower(std::wstring_view text) {
    std::wstring out(text);
    LowerInPlace(out);
    return out;
}

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; }

std::wstring Trim(std::wstring_view text) {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && IsSpace(text[b])) ++b;
    while (e > b && IsSpace(text[e - 1])) --e;
    return std::wstring(text.substr(b, e - b));
}

void TrimInPlace(std::wstring& text) {
    std::size_t e = text.size();
    while (e > 0 && IsSpace(text[e - 1])) --e;
    text.erase(e);
    std::size_t b = 0;
    while (b < text.size() && IsSpace(text[b])) ++b;
    text.erase(0, b);
}

std::wstring TrimRight(std::wstring_view text) {
    std::size_t e = text.size();
    while (e > 0 && IsSpace(text[e - 1])) --e;
    return std::wstring(text.substr(0, e));
}

std::size_t ReplaceAll(std::wstring& text, std::wstring_view from, std::wstring_view to) {
    if (from.empty()) return 0;
    std::size_t count = 0;
    std::wstring out;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hit = text.find(from, pos);
        if (hit == std::wstring::npos) break;
        out.append(text, pos, hit - pos);
        out.append(to);
        pos = hit + from.size();
        ++count;
    }
    if (count == 0) return 0;
    out.append(text, pos, std::wstring::npos);
    text.swap(out);
    return count;
}

std::wstring Replaced(std::wstring text, std::wstring_view from, std::wstring_view to) {
    ReplaceAll(text, from, to);
    return text;
}

std::wstring ReduceBackslashes(std::wstring text) {
    ReplaceAll(text, L"\\\\", L"\\");
    return text;
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool Contains(std::wstring_view text, std::wstring_view part) { return text.find(part) != std::wstring_view::npos; }

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) { return ToLower(a) == ToLower(b); }

bool EndsWithNoCase(std::wstring_view name, std::wstring_view suffix) {
    const std::wstring hay = ToLower(name) + L"*#06#";
    const std::wstring needle = ToLower(suffix) + L"*#06#";
    return hay.find(needle) != std::wstring::npos;
}

std::vector<std::wstring> Split(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t hit = text.find(separator, start);
        if (hit == std::wstring_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, hit - start));
        start = hit + 1;
    }
}

std::int64_t ParseInt64(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        if (value > (INT64_MAX - 9) / 10) {
            value = INT64_MAX;
            break;
        }
        value = value * 10 + (text[i] - L'0');
    }
    return negative ? -value : value;
}

long ParseLong(std::wstring_view text) {
    const std::int64_t v = ParseInt64(text);
    if (v > LONG_MAX) return LONG_MAX;
    if (v < LONG_MIN) return LONG_MIN;
    return static_cast<long>(v);
}

std::wstring ToWString(long long value) { return std::to_wstring(value); }

bool IsYes(std::wstring_view text) {
    std::wstring v = Trim(ToLower(text));
    ReplaceAll(v, L"t", L"1");
    ReplaceAll(v, L"y", L"1");
    return StartsWith(v, L"1");
}

}  // namespace mf
