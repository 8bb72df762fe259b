#include "ui/push_messages.h"

#include <algorithm>
#include <array>

#include "base/strings.h"

namespace mf::ui {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (month 1-12).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

int ToInt(std::wstring_view text) { return static_cast<int>(ParseLong(text)); }

std::wstring_view TrimView(std::wstring_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::wstring WithoutQuotes(std::wstring_view value) {
    std::wstring out;
    out.reserve(value.size());
    for (wchar_t c : value)
        if (c != L'"') out.push_back(c);
    return Trim(out);
}

// The raw value of a key in one record, or nullopt when the key is missing.
std::optional<std::wstring_view> RawValue(std::wstring_view record, std::wstring_view quotedKey, bool hourList) {
    const std::size_t key = record.find(quotedKey);
    if (key == std::wstring_view::npos) return std::nullopt;
    const std::size_t colon = record.find(L':', key + quotedKey.size());
    if (colon == std::wstring_view::npos) return std::nullopt;
    const std::wstring_view rest = record.substr(colon + 1);
    const std::size_t end = hourList ? rest.find(L"\",") : rest.find(L',');
    return rest.substr(0, end);  // npos: to the record's end
}

std::uint32_t HourMask(std::wstring_view list) {
    std::uint32_t mask = 0;
    while (!list.empty()) {
        const std::size_t comma = list.find(L',');
        const std::wstring_view item = TrimView(list.substr(0, comma));
        if (!item.empty() && std::all_of(item.begin(), item.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
            const long hour = ParseLong(item);
            if (hour >= 0 && hour <= 23) mask |= 1u << hour;
        }
        if (comma == std::wstring_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return mask;
}

std::optional<LocalTime> ParseEndDate(std::wstring_view text) {
    // "%d-%d-%d": three decimal numbers, each with an optional sign,
    // separated by "-"; what follows the day (a time) is ignored.
    std::array<long, 3> parts{};
    std::size_t at = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        while (at < text.size() && IsSpace(text[at])) ++at;
        const std::size_t start = at;
        if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) ++at;
        const std::size_t digits = at;
        while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') ++at;
        if (at == digits) return std::nullopt;
        parts[i] = ParseLong(text.substr(start, at - start));
        if (i + 1 < parts.size()) {
            if (at >= text.size() || text[at] != L'-') return std::nullopt;
            ++at;
        }
    }
    return LocalMidnight(static_cast<int>(parts[0]), static_cast<int>(parts[1]), static_cast<int>(parts[2]));
}

// The keys read as they stand, as texts and as whole numbers (each key with
// its quotes, so that "task" is not found in "taskMemo").
struct TextKey {
    const wchar_t* key;
    std::wstring PushMessage::*field;
};
struct NumberKey {
    const wchar_t* key;
    int PushMessage::*field;
};
constexpr TextKey kTextKeys[] = {{L"\"MsgId\"", &PushMessage::id},        {L"\"MsgUrl\"", &PushMessage::pageUrl},
                                 {L"\"eleUrl\"", &PushMessage::imageUrl}, {L"\"eleTransUrl\"", &PushMessage::linkUrl},
                                 {L"\"task\"", &PushMessage::task},       {L"\"taskMemo\"", &PushMessage::taskMemo}};
constexpr NumberKey kNumberKeys[] = {
    {L"\"StarDelayNum\"", &PushMessage::startDelay}, {L"\"PushNum\"", &PushMessage::limit},
    {L"\"PushInterval\"", &PushMessage::interval},   {L"\"timeType\"", &PushMessage::timeType},
    {L"\"Position\"", &PushMessage::position},       {L"\"pageWidth\"", &PushMessage::pageWidth},
    {L"\"pageHeight\"", &PushMessage::pageHeight},   {L"\"xOffset\"", &PushMessage::xOffset},
    {L"\"yOffset\"", &PushMessage::yOffset}};

void ReadRecord(std::wstring_view record, PushMessage& m) {
    for (const TextKey& key : kTextKeys) {
        if (auto v = RawValue(record, key.key, false)) m.*key.field = WithoutQuotes(*v);
    }
    for (const NumberKey& key : kNumberKeys) {
        if (auto v = RawValue(record, key.key, false)) m.*key.field = ToInt(WithoutQuotes(*v));
    }
    if (auto v = RawValue(record, L"\"MsgEndDate\"", false)) m.end = ParseEndDate(WithoutQuotes(*v));
    if (auto v = RawValue(record, L"\"timeValue\"", true)) m.hours = HourMask(WithoutQuotes(*v));
    // A server that asks for a message every second would pin it on the
    // screen: once a minute at most.
    m.interval = std::max(m.interval, kMinPushInterval);
}

bool InHour(std::uint32_t hours, LocalTime now) {
    const LocalTime secondOfDay = ((now % kDay) + kDay) % kDay;
    return (hours >> (secondOfDay / 3600) & 1u) != 0;
}

LocalTime HourSlot(LocalTime t) { return t >= 0 ? t / 3600 : (t - 3599) / 3600; }

}  // namespace

std::optional<LocalTime> LocalMidnight(int year, int month, int day) {
    if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    // A day past the month's end counts on (the 31st of April is the 1st of May).
    return (DaysFromCivil(year, static_cast<unsigned>(month), 1) + (day - 1)) * kDay;
}

LocalTime LocalSecondsOf(int year, int month, int day, int hour, int minute, int second) {
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * kDay + hour * 3600 +
           minute * 60 + second;
}

std::vector<PushMessage> ParsePushMessages(std::wstring_view answer, LocalTime parseTime) {
    std::vector<PushMessage> records;
    std::size_t at = answer.find(L'{');
    if (at == std::wstring_view::npos) return records;
    ++at;  // the answer object itself
    while (records.size() < kMaxPushMessages) {
        const std::size_t open = answer.find(L'{', at);
        if (open == std::wstring_view::npos) break;
        const std::size_t close = answer.find(L'}', open + 1);
        if (close == std::wstring_view::npos) break;  // cut off: the record is incomplete
        PushMessage m;
        m.lastShown = parseTime;
        ReadRecord(answer.substr(open + 1, close - open - 1), m);
        records.push_back(std::move(m));
        at = close + 1;
    }
    return records;
}

bool MayShow(const PushGate& gate) {
    return gate.pageLoaded && !gate.windowVisible && gate.launcherForeground && !gate.launcherMinimised;
}

std::optional<std::size_t> DuePushMessage(std::vector<PushMessage>& records, LocalTime now, LocalTime parseTime) {
    for (std::size_t i = 0; i < records.size(); ++i) {
        PushMessage& m = records[i];
        // Live through the whole end day: (end - now) / day, truncated
        // toward zero, is 0 until the next midnight.
        if (!m.end || (*m.end - now) / kDay < 0) continue;
        if (m.timeType < 0 || m.timeType > kHourSchedule || m.retired) continue;
        if (m.timeType == kHourSchedule) {
            if (!InHour(m.hours, now)) continue;
            if (m.started && HourSlot(m.lastShown) != HourSlot(now)) m.shownCount = 0;
        }
        if (m.shownCount >= m.limit) continue;
        bool due = false;
        if (m.started) {
            due = now - m.lastShown >= m.interval;
        } else if (now - parseTime >= m.startDelay) {
            m.started = true;
            due = true;
        }
        if (!due) continue;
        m.lastShown = now;
        ++m.shownCount;
        return i;
    }
    return std::nullopt;
}

void RetirePushMessage(std::vector<PushMessage>& records, std::wstring_view id) {
    for (PushMessage& m : records) {
        if (!EqualsNoCase(m.id, id)) continue;
        m.shownCount = m.limit;
        m.retired = true;
    }
}

std::wstring RecordText(const PushMessage& m) {
    std::wstring text;
    for (const std::wstring* field : {&m.task, &m.id, &m.pageUrl, &m.imageUrl, &m.linkUrl}) {
        text += *field;
        text += L'|';
    }
    for (int number : {m.pageWidth, m.pageHeight, m.position, m.xOffset}) {
        text += ToWString(number);
        text += L'|';
    }
    text += ToWString(m.yOffset);
    return text;
}

ShownMessage ParseRecordText(std::wstring_view text) {
    std::vector<std::wstring> fields = Split(text, L'|');
    ShownMessage m;
    std::array<int*, 5> numbers{&m.pageWidth, &m.pageHeight, &m.position, &m.xOffset, &m.yOffset};
    std::array<std::wstring*, 5> texts{&m.task, &m.id, &m.pageUrl, &m.imageUrl, &m.linkUrl};
    if (fields.size() <= texts.size()) {
        for (std::size_t i = 0; i < fields.size(); ++i) *texts[i] = fields[i];
        return m;
    }
    const std::size_t firstNumber = fields.size() > 10 ? fields.size() - 5 : 5;
    for (std::size_t i = 0; i < numbers.size() && firstNumber + i < fields.size(); ++i)
        *numbers[i] = ToInt(fields[firstNumber + i]);
    // The first four texts are the system's; what is left over belongs to
    // the last text (a link with "|" in it).
    for (std::size_t i = 0; i < 4; ++i) *texts[i] = fields[i];
    for (std::size_t i = 4; i < firstNumber; ++i) {
        if (i > 4) m.linkUrl += L'|';
        m.linkUrl += fields[i];
    }
    return m;
}

OfferProduct OfferProductFor(Companion companion, const std::wstring& companionName, std::wstring xa,
                             std::wstring productId, std::wstring code) {
    OfferProduct p{std::move(xa), std::move(productId), std::move(code), L"9", L"3"};
    switch (companion) {
        case Companion::Set:
            p.isPackage = L"1";
            p.platform = L"1";
            break;
        case Companion::Kc:
            p.isPackage = Contains(companionName, L"大礼包") ? L"3" : L"2";
            p.platform = L"1";
            break;
        case Companion::None: p.code.clear(); break;
    }
    return p;
}

std::wstring OfferCheckUrl(const std::wstring& messageServer, const std::wstring& machineId,
                           const OfferProduct& product) {
    return messageServer + L"/app/AppPackageHandle.ashx?method=CheckPackage&mac=" + machineId +
           L"&productID=" + product.productId + L"&platID=" + product.platform + L"&code=" + product.code;
}

std::wstring OfferPageArgument(const ShownMessage& message, const std::wstring& machineId,
                               const OfferProduct& product) {
    const std::wstring pagePlatform = product.isPackage == L"9" ? L"3" : L"1";
    const std::wstring fields[] = {message.id,          message.pageUrl,    ToWString(message.pageWidth),
                                   ToWString(message.pageHeight), product.xa, machineId,
                                   product.isPackage,   product.productId,  product.code,
                                   pagePlatform};
    std::wstring joined;
    for (const std::wstring& field : fields) {
        if (!joined.empty() || &field != &fields[0]) joined += L'|';
        joined += field;
    }
    return joined;
}

bool OfferTaken(std::wstring_view checkAnswer) { return checkAnswer.find(L"\"result\":1") != std::wstring_view::npos; }

bool OfferTakenByWatch(std::wstring_view checkAnswer) {
    return checkAnswer.find(L"{\"result\":1") != std::wstring_view::npos;
}

std::wstring PushMessageRequestUrl(const std::wstring& messageServer, bool companionInstalled,
                                   const std::wstring& productId, const std::wstring& code) {
    return messageServer + L"/App/MessageHandler/PushMessage.ashx?method=GetPushMessage&terminalNo=1&platNum=" +
           (companionInstalled ? L"1" : L"3") + L"&productId=" + productId + L"&Code=" + code;
}

}  // namespace mf::ui
