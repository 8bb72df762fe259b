// Push messages: what the message server sends the launcher, when each
// message is due, and where its window goes. Pure functions of plain values
// (the answer text, a clock, the state of the windows), so that the rules are
// tested in tables; the scheduler thread and the push-message window only
// carry them out.
//
// Times are local wall-clock seconds counted from 1970-01-01 00:00 as if the
// local clock had no time zone (LocalSecondsOf): a
// day is 86400 of them and the hour of the day is (t % 86400) / 3600, so the
// rules never meet a time zone or a daylight-saving change.
//
// The answer comes from a server, so this part takes no system header and
// also runs natively under a fuzzer; push_message_place.h holds what speaks
// in Windows types.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mf::ui {

using LocalTime = std::int64_t;
inline constexpr LocalTime kDay = 86400;

// The local midnight that starts the day, or nullopt outside 1900-01-01 ..
// 9999-12-31, month 1-12, day 1-31 (a day past the month's end counts on
// into the next month, as the system's own conversion does).
[[nodiscard]] std::optional<LocalTime> LocalMidnight(int year, int month, int day);
// A local date and time (month 1-12, day 1-31) as LocalTime.
[[nodiscard]] LocalTime LocalSecondsOf(int year, int month, int day, int hour, int minute, int second);

// Time types: 0, 1 and 2 repeat by an interval, 3 shows in listed hours of
// the day; any other value never shows.
inline constexpr int kHourSchedule = 3;
// Tasks: an empty task is an image banner, this one an offer page; any
// other task passes the schedule but shows nothing.
inline constexpr const wchar_t* kOfferTask = L"appshopdalibao";

struct PushMessage {
    std::wstring id;             // "MsgId"
    int startDelay = 0;          // "StarDelayNum", seconds from the parse
    int limit = 0;               // "PushNum", most showings (per hour for hour schedules)
    int interval = 0;            // "PushInterval", seconds between showings (at least kMinPushInterval)
    std::wstring pageUrl;        // "MsgUrl"
    std::wstring imageUrl;       // "eleUrl"
    std::wstring linkUrl;        // "eleTransUrl"
    // "MsgEndDate": the midnight that starts the last day. Missing or not a
    // date ("%d-%d-%d" within the ranges above): the message never shows.
    std::optional<LocalTime> end;
    int timeType = 0;            // "timeType"
    std::uint32_t hours = 0;     // "timeValue": bit h set for each listed hour 0-23
    int position = 1;            // "Position", 1-9
    int pageWidth = 0;           // "pageWidth"
    int pageHeight = 0;          // "pageHeight"
    int xOffset = 0;             // "xOffset"
    int yOffset = 0;             // "yOffset"
    std::wstring task;           // "task"
    std::wstring taskMemo;       // "taskMemo", kept, not used

    bool started = false;
    LocalTime lastShown = 0;     // the parse time at parse
    int shownCount = 0;
    bool retired = false;        // dealt with: never again in this run
};

// The message server's answers (the message list, an offer check) are
// short; a longer one is refused, and nothing past this is read.
inline constexpr std::int64_t kMaxPushAnswerBytes = 64 * 1024;

// A message is shown at most once a minute, whatever its interval says.
inline constexpr int kMinPushInterval = 60;

// At most this many records are read from one answer (the server sends a
// handful; an answer of a million records costs no more than these).
inline constexpr std::size_t kMaxPushMessages = 1000;

// The records of the server's answer in order. The first "{" opens the
// answer; each further "{" starts a record that ends at the next "}".
// Within a record each key is looked up by its quoted name; its value runs
// from the ":" after the name to the next "," (for "timeValue" the next
// "\",", so that a quoted list of hours stays whole) or to the record's end,
// without double quotes and surrounding white space. Numbers are decimal
// (anything else reads 0). A missing key leaves the field as it is above.
// Never reads outside `answer`; an empty, cut or odd answer gives the whole
// records it holds.
[[nodiscard]] std::vector<PushMessage> ParsePushMessages(std::wstring_view answer, LocalTime parseTime);

// What the scheduler may look at, besides the records and the clock.
struct PushGate {
    bool pageLoaded = false;          // the push-message window's page is ready
    bool windowVisible = false;       // a message is showing
    bool launcherForeground = false;  // the launcher is the foreground window
    bool launcherMinimised = false;
};
[[nodiscard]] bool MayShow(const PushGate& gate);

// One pass of the scheduler (once a second): the first due record, after
// marking it shown (last shown = now, count + 1), or nullopt. Records whose
// last day has passed, of unknown time types, already retired or shown
// their limit are skipped; a record not yet started is due once the start
// delay since the parse has passed (and becomes started), a started one
// once the interval since its last showing has passed. Hour schedules are
// due only in their listed hours and start their count again in every new
// hour.
[[nodiscard]] std::optional<std::size_t> DuePushMessage(std::vector<PushMessage>& records, LocalTime now,
                                                        LocalTime parseTime);

// Every record with this id (compared without regard to case) is dealt
// with: it is not shown again in this run.
void RetirePushMessage(std::vector<PushMessage>& records, std::wstring_view id);

// The form in which a due message travels to the window:
// task|id|page URL|image URL|link URL|page width|page height|position|x offset|y offset
[[nodiscard]] std::wstring RecordText(const PushMessage& record);

// The record text read back (missing fields empty or 0). The five texts
// come first; a text holding "|" cannot travel this way, so such fields are
// taken from the end: the five numbers are always the last five fields.
struct ShownMessage {
    std::wstring task, id, pageUrl, imageUrl, linkUrl;
    int pageWidth = 0, pageHeight = 0, position = 0, xOffset = 0, yOffset = 0;
};
[[nodiscard]] ShownMessage ParseRecordText(std::wstring_view text);

// The offer check: what the installed product is, and the request and page
// arguments made from it.
struct OfferProduct {
    std::wstring xa;         // "XA"
    std::wstring productId;  // the set id, or PlanId
    std::wstring code;
    std::wstring isPackage;  // "1" set, "2" or "3" question bank, "9" none installed
    std::wstring platform;   // of the check request: "1", or "3" with none installed
};
// `companion`: which companion file exists (Set wins), and its "Name".
enum class Companion { None, Set, Kc };
[[nodiscard]] OfferProduct OfferProductFor(Companion companion, const std::wstring& companionName,
                                           std::wstring xa, std::wstring productId, std::wstring code);
[[nodiscard]] std::wstring OfferCheckUrl(const std::wstring& messageServer, const std::wstring& machineId,
                                         const OfferProduct& product);
// The ten arguments of the page function "setUrl", joined with "|".
[[nodiscard]] std::wstring OfferPageArgument(const ShownMessage& message, const std::wstring& machineId,
                                             const OfferProduct& product);
// The check's answer: "\"result\":1" means the offer no longer applies
// (the watch asks for "{\"result\":1").
[[nodiscard]] bool OfferTaken(std::wstring_view checkAnswer);
[[nodiscard]] bool OfferTakenByWatch(std::wstring_view checkAnswer);

// The push-message request of the launcher.
[[nodiscard]] std::wstring PushMessageRequestUrl(const std::wstring& messageServer, bool companionInstalled,
                                                 const std::wstring& productId, const std::wstring& code);

}  // namespace mf::ui
