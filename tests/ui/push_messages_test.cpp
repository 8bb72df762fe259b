// Push messages: the server's answer read into records, the schedule on a
// fixed clock, the record text, the window's place and the offer check.
#include <gtest/gtest.h>

#include <climits>

#include <chrono>
#include <string>
#include <vector>

#include "base/strings.h"
#include "ui/push_message_place.h"
#include "ui/push_messages.h"

namespace mf::ui {
namespace {


LocalTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return *LocalMidnight(year, month, day) + hour * 3600 + minute * 60 + second;
}

std::wstring Record(const std::wstring& fields) { return L"{" + fields + L"}"; }

std::wstring Answer(const std::vector<std::wstring>& records) {
    std::wstring text = L"{\"Code\":0,\"Data\":[";
    for (std::size_t i = 0; i < records.size(); ++i) text += (i ? L"," : L"") + records[i];
    return text + L"]}";
}

TEST(PushMessageParsing, EveryKeyOfARecord) {
    const std::wstring answer = Answer({Record(
        L"\"MsgId\":\"m-1\",\"StarDelayNum\":60,\"PushNum\":\"3\",\"PushInterval\":600,"
        L"\"MsgUrl\":\"http://offers/page.html\",\"eleUrl\":\"http://img/banner.png\","
        L"\"eleTransUrl\":\"http://link/go?a=1\",\"MsgEndDate\":\"2026-12-31 00:00:00\",\"timeType\":3,"
        L"\"timeValue\":\"9,14\",\"Position\":9,\"pageWidth\":400,\"pageHeight\":300,\"xOffset\":-10,"
        L"\"yOffset\":-20,\"task\":\"appshopdalibao\",\"taskMemo\":\"gift\"")});
    const std::vector<PushMessage> records = ParsePushMessages(answer, 1234);
    ASSERT_EQ(records.size(), 1u);
    const PushMessage& m = records[0];
    EXPECT_EQ(m.id, L"m-1");
    EXPECT_EQ(m.startDelay, 60);
    EXPECT_EQ(m.limit, 3);
    EXPECT_EQ(m.interval, 600);
    EXPECT_EQ(m.pageUrl, L"http://offers/page.html");
    EXPECT_EQ(m.imageUrl, L"http://img/banner.png");
    EXPECT_EQ(m.linkUrl, L"http://link/go?a=1");
    EXPECT_EQ(m.end, At(2026, 12, 31));
    EXPECT_EQ(m.timeType, 3);
    EXPECT_EQ(m.hours, (1u << 9) | (1u << 14));
    EXPECT_EQ(m.position, 9);
    EXPECT_EQ(m.pageWidth, 400);
    EXPECT_EQ(m.pageHeight, 300);
    EXPECT_EQ(m.xOffset, -10);
    EXPECT_EQ(m.yOffset, -20);
    EXPECT_EQ(m.task, L"appshopdalibao");
    EXPECT_EQ(m.taskMemo, L"gift");
    EXPECT_FALSE(m.started);
    EXPECT_EQ(m.lastShown, 1234);
    EXPECT_EQ(m.shownCount, 0);
}

TEST(PushMessageParsing, ValueRules) {
    const struct {
        const wchar_t* record;
        const wchar_t* id;
        int limit;
        int position;
        std::uint32_t hours;
        const wchar_t* task;
    } cases[] = {
        // Missing keys: texts empty, numbers 0, position 1.
        {L"", L"", 0, 1, 0, L""},
        // The first occurrence of a key counts.
        {L"\"MsgId\":\"a\",\"MsgId\":\"b\"", L"a", 0, 1, 0, L""},
        // "task" is not taken from "taskMemo" before it.
        {L"\"taskMemo\":\"memo\",\"task\":\"\"", L"", 0, 1, 0, L""},
        // Quotes go, white space around the value goes; not a number is 0.
        {L"\"MsgId\" : \" x\"y \" , \"PushNum\": \"abc\"", L"xy", 0, 1, 0, L""},
        // The last key ends at the record's end.
        {L"\"PushNum\":7", L"", 7, 1, 0, L""},
        // Hours: a quoted list stays whole; unquoted, the comma ends it;
        // hours outside 0-23 and odd items are dropped.
        {L"\"timeValue\":\"0,23,24,-1,x,5\",\"Position\":5", L"", 0, 5, (1u << 0) | (1u << 23) | (1u << 5), L""},
        {L"\"timeValue\":9,\"Position\":2", L"", 0, 2, 1u << 9, L""},
        {L"\"timeValue\":\"9,14\"", L"", 0, 1, (1u << 9) | (1u << 14), L""},
        // A number beyond 32 bits saturates instead of wrapping.
        {L"\"PushNum\":99999999999999", L"", 2147483647, 1, 0, L""},
        // A key without a colon is missing.
        {L"\"MsgId\"", L"", 0, 1, 0, L""},
    };
    for (const auto& c : cases) {
        const std::vector<PushMessage> records = ParsePushMessages(Answer({Record(c.record)}), 0);
        ASSERT_EQ(records.size(), 1u) << Narrow(c.record);
        EXPECT_EQ(records[0].id, c.id) << Narrow(c.record);
        EXPECT_EQ(records[0].limit, c.limit) << Narrow(c.record);
        EXPECT_EQ(records[0].position, c.position) << Narrow(c.record);
        EXPECT_EQ(records[0].hours, c.hours) << Narrow(c.record);
        EXPECT_EQ(records[0].task, c.task) << Narrow(c.record);
    }
}

TEST(PushMessageParsing, AnIntervalBelowAMinuteIsAMinute) {
    const struct {
        const wchar_t* record;
        int interval;
    } cases[] = {
        {L"\"PushInterval\":0", 60}, {L"\"PushInterval\":1", 60},     {L"\"PushInterval\":-5", 60},
        {L"", 60},                   {L"\"PushInterval\":59", 60},    {L"\"PushInterval\":60", 60},
        {L"\"PushInterval\":61", 61}, {L"\"PushInterval\":3600", 3600},
    };
    for (const auto& c : cases) {
        const std::vector<PushMessage> records = ParsePushMessages(Answer({Record(c.record)}), 0);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].interval, c.interval) << Narrow(c.record);
    }
}

TEST(PushMessageParsing, EndDates) {
    const struct {
        const wchar_t* value;
        std::optional<LocalTime> end;
    } cases[] = {
        {L"\"2026-12-11\"", At(2026, 12, 11)},
        {L"\"2026-1-2 13:45\"", At(2026, 1, 2)},
        {L"\"1900-01-01\"", At(1900, 1, 1)},
        {L"\"2026-04-31\"", At(2026, 5, 1)},  // counts on into May
        // Outside the ranges, or not a date: the message never shows.
        {L"\"1899-12-31\"", std::nullopt},
        {L"\"2026-13-01\"", std::nullopt},
        {L"\"2026-00-10\"", std::nullopt},
        {L"\"2026-12-32\"", std::nullopt},
        {L"\"2026-12\"", std::nullopt},
        {L"\"2026/12/11\"", std::nullopt},
        {L"\"\"", std::nullopt},
        {L"null", std::nullopt},
        {L"\"99999999999-1-1\"", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto records = ParsePushMessages(Answer({Record(std::wstring(L"\"MsgEndDate\":") + c.value)}), 0);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].end, c.end) << Narrow(c.value);
    }
}

TEST(PushMessageParsing, HostileAnswers) {
    const struct {
        std::wstring answer;
        std::size_t records;
    } cases[] = {
        {L"", 0},
        {L"not json at all", 0},
        {L"<html><body>502 Bad Gateway</body></html>", 0},
        {L"{", 0},
        {L"{}", 0},
        {L"{\"Data\":[]}", 0},
        // The answer object's own "{" is not a record.
        {L"{\"MsgId\":\"x\"}", 0},
        // Cut off inside the second record: the first is whole.
        {L"{\"Data\":[{\"MsgId\":\"a\"},{\"MsgId\":\"b\",\"Push", 1},
        {L"{[{\"MsgId\":\"a\"}{}{}]}", 3},
        // A "}" before any "{" and stray braces.
        {L"}}}{ {a}{b} }", 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParsePushMessages(c.answer, 0).size(), c.records) << Narrow(c.answer);
}

TEST(PushMessageParsing, EnormousAnswersAreReadQuicklyAndBounded) {
    const auto start = std::chrono::steady_clock::now();
    // A million records: the first kMaxPushMessages are read.
    std::wstring many = L"{\"Data\":[";
    for (int i = 0; i < 1000000; ++i) many += L"{\"MsgId\":\"m\",\"PushNum\":1},";
    many += L"]}";
    EXPECT_EQ(ParsePushMessages(many, 0).size(), kMaxPushMessages);
    // A value of a megabyte, and keys that are never there.
    const std::wstring big(1 << 20, L'x');
    const auto one = ParsePushMessages(Answer({Record(L"\"MsgUrl\":\"" + big + L"\",\"PushNum\":4")}), 0);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].pageUrl.size(), big.size());
    EXPECT_EQ(one[0].limit, 4);
    // A megabyte of commas in the hours.
    const auto hours =
        ParsePushMessages(Answer({Record(L"\"timeValue\":\"9" + std::wstring(1 << 20, L',') + L"14\"")}), 0);
    ASSERT_EQ(hours.size(), 1u);
    EXPECT_EQ(hours[0].hours, (1u << 9) | (1u << 14));
    // Generous: the work is linear; a quadratic reading takes minutes.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(PushMessageParsing, NeverReadsPastTheText) {
    // The answer is a view into a larger buffer: what follows it must not
    // complete a record or a value.
    const std::wstring buffer = L"{\"Data\":[{\"MsgId\":\"abc\",\"PushNum\":12}]}";
    const std::size_t cut = buffer.find(L"12") + 1;  // "...\"PushNum\":1" and nothing more
    const auto records = ParsePushMessages(std::wstring_view(buffer).substr(0, cut), 0);
    EXPECT_TRUE(records.empty());
    const std::size_t record = buffer.find(L'}') + 1;
    const auto whole = ParsePushMessages(std::wstring_view(buffer).substr(0, record), 0);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].limit, 12);
}

// The scheduler run every second from `from` to `to` on a fixed clock,
// with the gate's answer at each second; the seconds at which a record was
// sent to the window, by record index.
struct Showing {
    std::size_t index;
    LocalTime at;
    bool operator==(const Showing&) const = default;
};
template <class Gate>
std::vector<Showing> RunScheduler(std::vector<PushMessage>& records, LocalTime parse, LocalTime from, LocalTime to,
                                  Gate gate, LocalTime step = 1) {
    std::vector<Showing> shown;
    for (LocalTime now = from; now <= to; now += step) {
        if (!MayShow(gate(now))) continue;
        if (auto due = DuePushMessage(records, now, parse)) shown.push_back({*due, now});
    }
    return shown;
}

PushGate Open() { return PushGate{true, false, true, false}; }

PushMessage Banner(int delay, int limit, int interval, LocalTime end) {
    PushMessage m;
    m.id = L"banner";
    m.startDelay = delay;
    m.limit = limit;
    m.interval = interval;
    m.end = end;
    return m;
}

TEST(PushMessageSchedule, StartDelayLimitAndInterval) {
    const LocalTime parse = At(2026, 12, 11, 10, 0, 0);
    std::vector<PushMessage> records{Banner(60, 3, 600, At(2026, 12, 31))};
    records[0].lastShown = parse;
    const auto shown = RunScheduler(records, parse, parse, parse + 3 * 3600, [](LocalTime) { return Open(); });
    EXPECT_EQ(shown, (std::vector<Showing>{{0, parse + 60}, {0, parse + 660}, {0, parse + 1260}}));
    EXPECT_EQ(records[0].shownCount, 3);
}

TEST(PushMessageSchedule, NothingWhileTheLauncherIsMinimisedOrBehindOrAMessageShows) {
    const struct {
        const char* name;
        PushGate gate;
    } closed[] = {
        {"minimised", {true, false, true, true}},
        {"behind another window", {true, false, false, false}},
        {"a message is showing", {true, true, true, false}},
        {"page not loaded", {false, false, true, false}},
    };
    for (const auto& c : closed) EXPECT_FALSE(MayShow(c.gate)) << c.name;
    EXPECT_TRUE(MayShow(Open()));

    // Minimised from second 30 to 700 and behind another window from 1000
    // to 1500: the first showing waits for the launcher, the next ones
    // keep at least 600 seconds apart.
    const LocalTime parse = At(2026, 12, 11, 10);
    std::vector<PushMessage> records{Banner(60, 3, 600, At(2026, 12, 31))};
    records[0].lastShown = parse;
    const auto shown = RunScheduler(records, parse, parse, parse + 7200, [&](LocalTime now) {
        PushGate g = Open();
        g.launcherMinimised = now >= parse + 30 && now < parse + 700;
        g.launcherForeground = !(now >= parse + 1000 && now < parse + 1500);
        return g;
    });
    EXPECT_EQ(shown, (std::vector<Showing>{{0, parse + 700}, {0, parse + 1500}, {0, parse + 2100}}));
}

TEST(PushMessageSchedule, AClosedBannerComesBackAtItsNextDueTime) {
    const LocalTime parse = At(2026, 12, 11, 10);
    std::vector<PushMessage> records{Banner(0, 2, 600, At(2026, 12, 31))};
    records[0].lastShown = parse;
    // Shown at once; visible until the user closes it at second 100.
    const auto shown = RunScheduler(records, parse, parse, parse + 3600, [&](LocalTime now) {
        PushGate g = Open();
        g.windowVisible = now > parse && now < parse + 100;
        return g;
    });
    EXPECT_EQ(shown, (std::vector<Showing>{{0, parse}, {0, parse + 600}}));
}

TEST(PushMessageSchedule, HourListsRestartTheirCountInEveryListedHour) {
    const LocalTime parse = At(2026, 12, 10, 0);
    PushMessage m = Banner(0, 1, 0, At(2026, 12, 31));
    m.timeType = kHourSchedule;
    m.hours = (1u << 9) | (1u << 14);
    m.lastShown = parse;
    std::vector<PushMessage> records{m};
    const auto shown =
        RunScheduler(records, parse, parse, parse + 2 * kDay - 1, [](LocalTime) { return Open(); }, 60);
    EXPECT_EQ(shown, (std::vector<Showing>{{0, At(2026, 12, 10, 9)},
                                            {0, At(2026, 12, 10, 14)},
                                            {0, At(2026, 12, 11, 9)},
                                            {0, At(2026, 12, 11, 14)}}));

    // One listed hour: the same hour of the next day is a new hour.
    PushMessage nine = m;
    nine.hours = 1u << 9;
    std::vector<PushMessage> one{nine};
    const auto daily = RunScheduler(one, parse, parse, parse + 2 * kDay - 1, [](LocalTime) { return Open(); }, 60);
    EXPECT_EQ(daily, (std::vector<Showing>{{0, At(2026, 12, 10, 9)}, {0, At(2026, 12, 11, 9)}}));
}

TEST(PushMessageSchedule, EndDatesLiveThroughTheirWholeDay) {
    const LocalTime now = At(2026, 12, 11, 15, 30);
    const struct {
        const char* name;
        std::optional<LocalTime> end;
        bool shows;
    } cases[] = {
        {"yesterday", At(2026, 12, 10), false},
        {"today", At(2026, 12, 11), true},
        {"tomorrow", At(2026, 12, 12), true},
        {"no date", std::nullopt, false},
    };
    for (const auto& c : cases) {
        std::vector<PushMessage> records{Banner(0, 1, 0, 0)};
        records[0].end = c.end;
        EXPECT_EQ(DuePushMessage(records, now, now).has_value(), c.shows) << c.name;
    }
    // The last second of the end day still shows; the next midnight does not.
    std::vector<PushMessage> last{Banner(0, 5, 0, At(2026, 12, 11))};
    EXPECT_TRUE(DuePushMessage(last, At(2026, 12, 11, 23, 59, 59), 0).has_value());
    EXPECT_FALSE(DuePushMessage(last, At(2026, 12, 12), 0).has_value());
}

TEST(PushMessageSchedule, TimeTypesTasksLimitsAndOrder) {
    const LocalTime now = At(2026, 12, 11, 12);
    const LocalTime end = At(2026, 12, 31);
    std::vector<PushMessage> records{Banner(0, 1, 0, end), Banner(0, 1, 0, end), Banner(0, 1, 0, end),
                                     Banner(0, 0, 0, end), Banner(0, 1, 0, end), Banner(0, 1, 0, end)};
    records[0].timeType = 4;   // unknown: never
    records[1].timeType = -1;  // unknown: never
    records[2].timeType = kHourSchedule;
    records[2].hours = 1u << 11;  // not this hour
    // records[3]: a limit of 0 never shows.
    records[4].task = L"something else";  // passes the schedule (shows nothing in the window)
    records[5].timeType = 2;
    EXPECT_EQ(DuePushMessage(records, now, now), std::optional<std::size_t>(4));
    EXPECT_EQ(records[4].shownCount, 1);
    // One record a pass: the next pass takes the next due record.
    EXPECT_EQ(DuePushMessage(records, now, now), std::optional<std::size_t>(5));
    EXPECT_EQ(DuePushMessage(records, now, now), std::nullopt);
}

TEST(PushMessageSchedule, RetiredMessagesNeverComeBack) {
    const LocalTime parse = At(2026, 12, 10, 8);
    PushMessage hourly = Banner(0, 1, 0, At(2026, 12, 31));
    hourly.id = L"Offer-7";
    hourly.timeType = kHourSchedule;
    hourly.hours = 0xFFFFFF;
    PushMessage other = Banner(0, 1, 0, At(2026, 12, 31));
    other.id = L"other";
    other.interval = 10;
    other.limit = 100;
    std::vector<PushMessage> records{hourly, other};
    EXPECT_EQ(DuePushMessage(records, parse, parse), std::optional<std::size_t>(0));
    RetirePushMessage(records, L"offer-7");  // ids compare without regard to case
    const auto shown = RunScheduler(records, parse, parse + 1, parse + kDay, [](LocalTime) { return Open(); }, 3600);
    for (const Showing& s : shown) EXPECT_EQ(s.index, 1u);
    EXPECT_FALSE(shown.empty());
}

TEST(PushMessageRecordText, TravelsAndComesBack) {
    PushMessage m = Banner(0, 1, 0, 0);
    m.task = kOfferTask;
    m.id = L"m1";
    m.pageUrl = L"http://o/p.html";
    m.imageUrl = L"http://o/i.png";
    m.linkUrl = L"http://o/l?a|b";
    m.pageWidth = 400;
    m.pageHeight = 300;
    m.position = 9;
    m.xOffset = -5;
    m.yOffset = 7;
    const std::wstring text = RecordText(m);
    EXPECT_EQ(text, L"appshopdalibao|m1|http://o/p.html|http://o/i.png|http://o/l?a|b|400|300|9|-5|7");
    const ShownMessage back = ParseRecordText(text);
    EXPECT_EQ(back.task, m.task);
    EXPECT_EQ(back.id, m.id);
    EXPECT_EQ(back.pageUrl, m.pageUrl);
    EXPECT_EQ(back.imageUrl, m.imageUrl);
    EXPECT_EQ(back.linkUrl, m.linkUrl);
    EXPECT_EQ(back.pageWidth, 400);
    EXPECT_EQ(back.pageHeight, 300);
    EXPECT_EQ(back.position, 9);
    EXPECT_EQ(back.xOffset, -5);
    EXPECT_EQ(back.yOffset, 7);
    // Short texts leave the rest empty.
    const ShownMessage shortText = ParseRecordText(L"|id");
    EXPECT_EQ(shortText.task, L"");
    EXPECT_EQ(shortText.id, L"id");
    EXPECT_EQ(shortText.position, 0);
}

TEST(PushMessagePlacing, NinePositionsWithOffsets) {
    const SIZE screen{1280, 800};
    const SIZE window{300, 200};
    const struct {
        int position;
        POINT at;
    } cases[] = {
        {1, {0 + 7, 0 - 3}},    {2, {490 + 7, 0 - 3}},   {3, {980 + 7, 0 - 3}},
        {4, {0 + 7, 300 - 3}},  {5, {490 + 7, 300 - 3}}, {6, {980 + 7, 300 - 3}},
        {7, {0 + 7, 600 - 3}},  {8, {490 + 7, 600 - 3}}, {9, {980 + 7, 600 - 3}},
    };
    for (const auto& c : cases) {
        const auto at = PlaceMessageWindow(c.position, screen, window, 7, -3);
        ASSERT_TRUE(at.has_value()) << c.position;
        EXPECT_EQ(at->x, c.at.x) << c.position;
        EXPECT_EQ(at->y, c.at.y) << c.position;
    }
    for (int outside : {0, 10, -1}) EXPECT_FALSE(PlaceMessageWindow(outside, screen, window, 7, -3)) << outside;
}

TEST(PushMessagePlacing, KeptInsideTheWorkArea) {
    const RECT area{0, 0, 1280, 760};  // a task bar below
    const struct {
        POINT at;
        SIZE window;
        RECT placed;
    } cases[] = {
        {{10, 20}, {300, 200}, {10, 20, 310, 220}},
        {{1200, 700}, {300, 200}, {980, 560, 1280, 760}},
        {{-500, -9}, {300, 200}, {0, 0, 300, 200}},
        {{-1000000, 1000000}, {300, 200}, {0, 560, 300, 760}},
        // Larger than the area: the area's size, at its corner.
        {{0, 0}, {5000, 5000}, {0, 0, 1280, 760}},
        {{100, 100}, {1280, 800}, {0, 0, 1280, 760}},
    };
    for (const auto& c : cases) {
        const RECT r = KeepInside(c.at, c.window, area);
        EXPECT_EQ(r.left, c.placed.left) << c.at.x << "," << c.at.y;
        EXPECT_EQ(r.top, c.placed.top) << c.at.x << "," << c.at.y;
        EXPECT_EQ(r.right, c.placed.right) << c.at.x << "," << c.at.y;
        EXPECT_EQ(r.bottom, c.placed.bottom) << c.at.x << "," << c.at.y;
    }
    // Offsets of any size are added without overflow.
    const auto distant = PlaceMessageWindow(9, SIZE{1280, 800}, SIZE{300, 200}, INT_MAX, INT_MIN);
    ASSERT_TRUE(distant.has_value());
    EXPECT_GT(distant->x, 1280);
    EXPECT_LT(distant->y, 0);
}

TEST(PushMessagePlacing, DialogSizeFromThePage) {
    const SIZE screen{1280, 800};
    const struct {
        const wchar_t* text;
        std::optional<SIZE> size;
    } cases[] = {
        {L"300|120", SIZE{300, 120}}, {L" 300 | 120 ", SIZE{300, 120}}, {L"5000|9000", SIZE{1280, 800}},
        {L"0|120", std::nullopt},     {L"-3|120", std::nullopt},        {L"300", std::nullopt},
        {L"", std::nullopt},          {L"a|b", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto size = ParseDialogSize(c.text, screen);
        ASSERT_EQ(size.has_value(), c.size.has_value()) << Narrow(c.text);
        if (size) {
            EXPECT_EQ(size->cx, c.size->cx) << Narrow(c.text);
            EXPECT_EQ(size->cy, c.size->cy) << Narrow(c.text);
        }
    }
}

TEST(PushMessageOffer, ValuesByInstalledProduct) {
    const struct {
        Companion companion;
        const wchar_t* name;
        const wchar_t* isPackage;
        const wchar_t* platform;
        const wchar_t* pagePlatform;
        const wchar_t* code;
    } cases[] = {
        {Companion::Set, L"", L"1", L"1", L"1", L"C1"},
        {Companion::Kc, L"会计题库", L"2", L"1", L"1", L"C1"},
        {Companion::Kc, L"会计大礼包", L"3", L"1", L"1", L"C1"},
        {Companion::None, L"", L"9", L"3", L"3", L""},
    };
    ShownMessage shown;
    shown.id = L"m9";
    shown.pageUrl = L"http://o/offer.html";
    shown.pageWidth = 400;
    shown.pageHeight = 300;
    for (const auto& c : cases) {
        const OfferProduct p = OfferProductFor(c.companion, c.name, L"XA1", L"P7", L"C1");
        EXPECT_EQ(p.isPackage, c.isPackage);
        EXPECT_EQ(p.platform, c.platform);
        EXPECT_EQ(
            OfferCheckUrl(L"http://msg", L"MAC1", p),
            std::wstring(L"http://msg/app/AppPackageHandle.ashx?method=CheckPackage&mac=MAC1&productID=P7&platID=") +
                c.platform + L"&code=" + c.code);
        EXPECT_EQ(OfferPageArgument(shown, L"MAC1", p), std::wstring(L"m9|http://o/offer.html|400|300|XA1|MAC1|") +
                                                            c.isPackage + L"|P7|" + c.code + L"|" + c.pagePlatform);
    }
    EXPECT_TRUE(OfferTaken(L"{\"result\":1,\"msg\":\"ok\"}"));
    EXPECT_TRUE(OfferTaken(L"[\"result\":1]"));
    EXPECT_FALSE(OfferTaken(L"{\"result\":0}"));
    EXPECT_FALSE(OfferTaken(L""));
    EXPECT_TRUE(OfferTakenByWatch(L"{\"result\":1}"));
    EXPECT_FALSE(OfferTakenByWatch(L"[\"result\":1]"));
    EXPECT_EQ(PushMessageRequestUrl(L"http://msg", false, L"P7", L""),
              L"http://msg/App/MessageHandler/PushMessage.ashx?method=GetPushMessage&terminalNo=1&platNum=3"
              L"&productId=P7&Code=");
    EXPECT_EQ(PushMessageRequestUrl(L"http://msg", true, L"S1", L"K2"),
              L"http://msg/App/MessageHandler/PushMessage.ashx?method=GetPushMessage&terminalNo=1&platNum=1"
              L"&productId=S1&Code=K2");
}

}  // namespace
}  // namespace mf::ui
