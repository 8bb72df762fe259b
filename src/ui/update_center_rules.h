// The update center's decisions and texts as functions of plain values and
// a clock (seconds since 1970): how the countdown to the automatic update
// runs down, when the next periodic check is due, when the engine ends by
// itself, which message line and tooltip a status gives, where the pop-up
// goes and which of its links lies under the mouse. The dialog only carries
// them out.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mf::ui {

// The countdown shown by "Update after %d seconds."; -1: none.
inline constexpr int kNoCountdown = -1;
inline constexpr int kCountdownStart = 120;

// One 500 ms tick of the countdown: it loses ((whole seconds since the last
// check) mod 60) div 10, never going below 0, so it runs faster through
// every minute since the check started. A clock set back takes nothing off.
struct CountdownTick {
    int countdown = kNoCountdown;
    bool changed = false;  // the line must be repainted
    bool expired = false;  // it went from above 0 to 0: update now
};
[[nodiscard]] CountdownTick TickCountdown(int countdown, long long lastCheck, long long now);

// Minutes between periodic checks from "CheckTmSpan": its leading number,
// where empty, non-numeric, 0 or less count as 5 and 60 or more as 60.
inline constexpr int kDefaultCheckMinutes = 5;
inline constexpr int kLongestCheckMinutes = 60;
[[nodiscard]] int CheckIntervalMinutes(std::wstring_view checkTmSpan);
// Whether the periodic check is due: the interval has passed since the last
// check, or the clock went back behind it.
[[nodiscard]] bool CheckDue(std::wstring_view checkTmSpan, long long lastCheck, long long now);
// After a check: the engine ends by itself when nothing repeats (an empty
// "CheckTmSpan") and the check succeeded with nothing to update.
[[nodiscard]] bool EndsAfterCheck(std::wstring_view checkTmSpan, int status, int fileCount);

// How an update run from the dialog ended, judged when it returns.
enum class UpdateOutcome { None, Completed, Abandoned };
// Status 12 "UpdateCopyOk" completed it; any other status with files in
// the list abandoned it; without files there is nothing to tell.
[[nodiscard]] UpdateOutcome OutcomeOf(int finalStatus, int filesInList);

// The dialog's texts, translated once when it opens.
struct UpdateCenterTexts {
    // Section "MAIN".
    std::wstring checking = L"Check update files";
    std::wstring unreachable = L"Can't connection update server!";
    std::wstring nothingFound = L"Find nothing to update.";
    std::wstring found = L"Found %d files need to update...";
    std::wstring exit = L"Exit";
    std::wstring completed = L"Upgrade is completed";
    std::wstring abandoned = L"Upgrade is abort";
    // Section "MAIN", then "TRYICON".
    std::wstring running = L"updater is running...";
    // Section "TRYICON".
    std::wstring title = L"Update Center";
    std::wstring showWindow = L"Show check window";
    std::wstring countdown = L"Update after %d seconds.";
    std::wstring cancel = L"Cancel";
    std::wstring checkAgain = L"Check again";
    std::wstring update = L"Update";

    // translate(section, english) gives the translation or the English.
    using Translator = std::function<std::wstring(const std::wstring&, const std::wstring&)>;
    [[nodiscard]] static UpdateCenterTexts Translated(const Translator& translate);

    // The formatted lines (a translation whose placeholders differ from the
    // English text's is not used).
    [[nodiscard]] std::wstring FoundText(int count) const;
    [[nodiscard]] std::wstring CountdownText(int seconds) const;
};

// What the dialog knows of the update: the last status message and what
// the last run from the dialog ended with.
struct CenterState {
    int status = 0;
    int fileCount = 0;
    bool busy = false;
    UpdateOutcome outcome = UpdateOutcome::None;
};
// The message line: empty for a status with nothing to say.
[[nodiscard]] std::wstring MessageLine(const UpdateCenterTexts& texts, const CenterState& state);
// The icon's tooltip for a message line: "[" + application name + "]\n" +
// line, cut to what the notification area takes; nothing for an empty line
// (the tooltip stays as it was).
inline constexpr std::size_t kTooltipCapacity = 127;
[[nodiscard]] std::optional<std::wstring> TooltipFor(std::wstring_view applicationName, std::wstring_view line);

// Where the pop-up is shown: 5 pixels from the right edge and 45 from the
// bottom of the screen.
[[nodiscard]] POINT PopUpPosition(SIZE screen, SIZE window);

// The pop-up's named buttons and what lies under the mouse.
inline constexpr wchar_t kButtonClose[] = L"close";
inline constexpr wchar_t kButtonCancel[] = L"cancel";
inline constexpr wchar_t kButtonCheck[] = L"check";
inline constexpr wchar_t kButtonUpdate[] = L"update";
inline constexpr RECT kCloseRect{196, 8, 210, 22};

class ButtonMap {
public:
    void Set(const std::wstring& name, const RECT& rect);
    [[nodiscard]] RECT Get(const std::wstring& name) const;
    // The button whose rectangle holds the point; empty when none.
    [[nodiscard]] std::wstring At(POINT point) const;

private:
    std::vector<std::pair<std::wstring, RECT>> buttons_;
};

// The pop-up's text, laid out from the sizes of its texts: 20 pixels inside
// the client area the name (bold), 5 pixels lower the message line, 5 lower
// the countdown line with the "Cancel" link 5 pixels to its right (only
// while a countdown runs), and 32 pixels above the bottom the links "Check
// again" at one third and "Update" at two thirds of the width.
struct PopUpTexts {
    SIZE name{};
    SIZE message{};
    SIZE countdown{};
    SIZE cancel{};
    SIZE checkAgain{};
    SIZE update{};
};
struct PopUpLayout {
    RECT name{};
    RECT message{};
    RECT countdown{};  // empty without a countdown
    RECT cancel{};     // empty without a countdown
    RECT checkAgain{};
    RECT update{};
};
inline constexpr int kTextInset = 20;
inline constexpr int kLineGap = 5;
inline constexpr int kLinksAboveBottom = 32;
[[nodiscard]] PopUpLayout LayOutPopUp(SIZE client, const PopUpTexts& texts, bool countdownShown);

}  // namespace mf::ui
