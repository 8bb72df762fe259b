#include "list/release_marks.h"

#include <cwchar>
#include <string>

namespace mf {

namespace {

constexpr std::size_t kSerialDigitsMax = 18;
constexpr std::int64_t kDaySeconds = 86400;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool IsLeap(unsigned y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(unsigned y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// The number of `count` digits at `at`, or nothing.
std::optional<unsigned> Digits(std::wstring_view text, std::size_t at, std::size_t count) {
    unsigned value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(text[i] - L'0');
    }
    return value;
}

// The document as ASCII: UTF-16 units outside ASCII, and the bytes of other
// encodings outside it, become "?" (names and marks are ASCII).
std::string AsciiView(std::string_view bytes) {
    bytes = bytes.substr(0, kRootScanBytes);
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const bool bomLe = bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE;
    const bool bomBe = bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF;
    const bool le = bomLe || (bytes.size() >= 2 && byte(0) != 0 && byte(1) == 0);
    const bool be = bomBe || (bytes.size() >= 2 && byte(0) == 0 && byte(1) != 0);
    std::string text;
    if (le || be) {
        for (std::size_t i = (bomLe || bomBe) ? 2 : 0; i + 1 < bytes.size(); i += 2) {
            const unsigned unit = le ? byte(i) | byte(i + 1) << 8 : byte(i) << 8 | byte(i + 1);
            text += unit < 0x80 ? static_cast<char>(unit) : '?';
        }
        return text;
    }
    if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) bytes.remove_prefix(3);
    for (const char c : bytes) text += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    return text;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Past the prolog: the position of the document element's "<", or npos.
std::size_t RootStart(const std::string& text) {
    std::size_t at = 0;
    for (;;) {
        while (at < text.size() && IsSpace(text[at])) ++at;
        if (at >= text.size() || text[at] != '<') return std::string::npos;
        const std::string_view rest = std::string_view(text).substr(at);
        const char* close = rest.starts_with("<?") ? "?>" : rest.starts_with("<!--") ? "-->" : nullptr;
        if (close == nullptr) return rest.starts_with("<!") ? std::string::npos : at;
        const std::size_t end = text.find(close, at + 2);
        if (end == std::string::npos) return end;
        at = end + std::char_traits<char>::length(close);
    }
}

}  // namespace

ReleaseMarks ReadRootMarks(std::string_view bytes) {
    const std::string text = AsciiView(bytes);
    ReleaseMarks marks;
    std::size_t at = RootStart(text);
    if (at == std::string::npos) return marks;
    ++at;
    while (at < text.size() && !IsSpace(text[at]) && text[at] != '>' && text[at] != '/') ++at;
    bool serialSeen = false, expiresSeen = false;
    for (;;) {
        while (at < text.size() && IsSpace(text[at])) ++at;
        if (at >= text.size() || text[at] == '>' || text[at] == '/') return marks;
        const std::size_t nameStart = at;
        while (at < text.size() && text[at] != '=' && !IsSpace(text[at]) && text[at] != '>') ++at;
        const std::string name = text.substr(nameStart, at - nameStart);
        while (at < text.size() && IsSpace(text[at])) ++at;
        if (at >= text.size() || text[at] != '=') return marks;
        ++at;
        while (at < text.size() && IsSpace(text[at])) ++at;
        if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) return marks;
        const std::size_t end = text.find(text[at], at + 1);
        if (end == std::string::npos) return marks;
        const std::wstring value(text.begin() + static_cast<std::ptrdiff_t>(at + 1),
                                 text.begin() + static_cast<std::ptrdiff_t>(end));
        if (name == "serial" && !serialSeen) marks.serial = value, serialSeen = true;
        if (name == "expires" && !expiresSeen) marks.expires = value, expiresSeen = true;
        at = end + 1;
    }
}

std::optional<std::uint64_t> ParseSerial(std::wstring_view text) {
    if (text.empty() || text.size() > kSerialDigitsMax) return std::nullopt;
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    return value;
}

std::optional<std::int64_t> ParseUtcTime(std::wstring_view text) {
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != L'-' || text[7] != L'-' || text[10] != L'T' || text[13] != L':' ||
        text[16] != L':' || text[19] != L'Z')
        return std::nullopt;
    const auto year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    const auto hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month) || *hour > 23 || *minute > 59 ||
        *second > 59)
        return std::nullopt;
    return DaysFromCivil(*year, *month, *day) * kDaySeconds + *hour * 3600 + *minute * 60 + *second;
}

std::wstring UtcTimeText(std::int64_t seconds) {
    std::int64_t days = seconds / kDaySeconds;
    std::int64_t rest = seconds % kDaySeconds;
    if (rest < 0) rest += kDaySeconds, --days;
    // civil_from_days
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0);
    wchar_t text[40];
    std::swprintf(text, 40, L"%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", static_cast<long long>(y), m, d,
                  static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                  static_cast<long long>(rest % 60));
    return text;
}

ReleaseVerdict JudgeRelease(const ReleaseMarks& marks, std::optional<std::uint64_t> installedSerial,
                            std::int64_t nowSeconds) {
    std::uint64_t serial = 0;
    if (!marks.serial.empty()) {
        const std::optional<std::uint64_t> parsed = ParseSerial(marks.serial);
        if (!parsed) return ReleaseVerdict::BadSerial;
        serial = *parsed;
    }
    if (!marks.expires.empty()) {
        const std::optional<std::int64_t> expires = ParseUtcTime(marks.expires);
        if (!expires) return ReleaseVerdict::BadExpires;
        if (nowSeconds >= *expires) return ReleaseVerdict::Expired;
    }
    if (installedSerial && serial < *installedSerial) return ReleaseVerdict::Older;
    return ReleaseVerdict::Taken;
}

ReleaseVerdict JudgePackage(const ReleaseMarks& marks, std::optional<std::uint64_t> installedSerial,
                            bool installationEmpty) {
    if (marks.serial.empty()) return installationEmpty ? ReleaseVerdict::Taken : ReleaseVerdict::NoSerial;
    const std::optional<std::uint64_t> serial = ParseSerial(marks.serial);
    if (!serial) return ReleaseVerdict::BadSerial;
    if (installedSerial && *serial < *installedSerial) return ReleaseVerdict::Older;
    return ReleaseVerdict::Taken;
}

std::wstring VerdictText(ReleaseVerdict verdict) {
    switch (verdict) {
        case ReleaseVerdict::Taken:
            return L"";
        case ReleaseVerdict::Older:
            return L"the list is of a release older than the one installed";
        case ReleaseVerdict::Expired:
            return L"the list has expired";
        case ReleaseVerdict::BadSerial:
            return L"the list's serial is not a number";
        case ReleaseVerdict::BadExpires:
            return L"the list's expiry is not a time";
        case ReleaseVerdict::NoSerial:
            return L"the list has no serial and a release is installed already";
    }
    return L"";
}

}  // namespace mf
