// The update center's timing rules, texts and layout, in tables.
#include <gtest/gtest.h>

#include <vector>

#include "base/strings.h"
#include "ui/update_center_rules.h"

namespace mf::ui {
namespace {

constexpr long long kCheck = 1'700'000'000;  // when the check started

TEST(UpdateCenterCountdown, RunsDownFasterThroughEachMinuteSinceTheCheck) {
    // The 500 ms ticks of a check that found files: (elapsed mod 60) div 10
    // comes off at every tick.
    const struct {
        long long elapsed;  // seconds since the check at this tick
        int before;
        int after;
        bool changed;
        bool expired;
    } ticks[] = {
        {0, 120, 120, false, false},   // first ten seconds: nothing
        {9, 120, 120, false, false},
        {10, 120, 119, true, false},   // 10..19 s: 1 a tick
        {19, 119, 118, true, false},
        {20, 118, 116, true, false},   // 20..29 s: 2 a tick
        {35, 116, 113, true, false},   // 30..39 s: 3
        {45, 113, 109, true, false},   // 40..49 s: 4
        {59, 109, 104, true, false},   // 50..59 s: 5
        {60, 104, 104, false, false},  // a new minute starts slow again
        {75, 104, 103, true, false},
        {58, 4, 0, true, true},        // never below 0; reaching it updates
        {58, 5, 0, true, true},
        {58, 0, 0, false, false},      // already 0: no second update
        {12, 1, 0, true, true},
        {30, -1, -1, false, false},    // no countdown: nothing happens
        {-30, 50, 50, false, false},   // a clock set back takes nothing off
    };
    for (const auto& t : ticks) {
        const CountdownTick tick = TickCountdown(t.before, kCheck, kCheck + t.elapsed);
        EXPECT_EQ(tick.countdown, t.after) << t.elapsed << " s, from " << t.before;
        EXPECT_EQ(tick.changed, t.changed) << t.elapsed << " s, from " << t.before;
        EXPECT_EQ(tick.expired, t.expired) << t.elapsed << " s, from " << t.before;
    }
}

TEST(UpdateCenterCountdown, ReachesZeroFortySecondsAfterTheCheckAndUpdatesOnce) {
    int countdown = kCountdownStart;
    int updates = 0;
    long long expiredAtHalfSeconds = -1;
    for (long long half = 0; half < 2 * 120; ++half) {
        const CountdownTick tick = TickCountdown(countdown, kCheck, kCheck + half / 2);
        countdown = tick.countdown;
        if (tick.expired) {
            ++updates;
            if (expiredAtHalfSeconds < 0) expiredAtHalfSeconds = half;
            countdown = kNoCountdown;  // what the dialog does before it updates
        }
    }
    EXPECT_EQ(updates, 1);
    // 20 ticks of 1, 20 of 2 and the rest at 3: 0 during the 40th second.
    EXPECT_GE(expiredAtHalfSeconds / 2, 35);
    EXPECT_LT(expiredAtHalfSeconds / 2, 40);
}

TEST(UpdateCenterChecks, IntervalFromCheckTmSpan) {
    const struct {
        const wchar_t* value;
        int minutes;
    } cases[] = {
        {L"", 5},     {L"0", 5},     {L"-3", 5},   {L"abc", 5},          {L"1", 1},
        {L"15", 15},  {L" 15 ", 15}, {L"15min", 15}, {L"59", 59},        {L"60", 60},
        {L"90", 60},  {L"99999999999999999999", 60},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckIntervalMinutes(c.value), c.minutes) << Narrow(c.value);
}

TEST(UpdateCenterChecks, DueOnceTheIntervalHasPassed) {
    const struct {
        const wchar_t* span;
        long long elapsed;
        bool due;
    } cases[] = {
        {L"", 299, false},  {L"", 300, true},    {L"0", 300, true},     {L"1", 59, false},
        {L"1", 60, true},   {L"90", 3599, false}, {L"90", 3600, true},  {L"30", 1799, false},
        {L"30", 1800, true}, {L"30", -1, true},   // the clock went back: check
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckDue(c.span, kCheck, kCheck + c.elapsed), c.due) << Narrow(c.span) << " " << c.elapsed;
}

TEST(UpdateCenterChecks, EndsByItselfOnlyWhenNothingRepeatsAndNothingWasFound) {
    const struct {
        const wchar_t* span;
        int status;
        int files;
        bool ends;
    } cases[] = {
        {L"", 3, 0, true},     {L"  ", 3, 0, true},  {L"", 3, 2, false},
        {L"", 2, 0, false},    // the server could not be reached: try again
        {L"", 1, 0, false},    {L"10", 3, 0, false}, {L"0", 3, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EndsAfterCheck(c.span, c.status, c.files), c.ends) << Narrow(c.span) << " " << c.status;
}

TEST(UpdateCenterTexts, MessageLineAndTooltipPerStatus) {
    const UpdateCenterTexts texts;
    const struct {
        CenterState state;
        const wchar_t* line;
    } cases[] = {
        {{0, 0, false, UpdateOutcome::None}, L""},
        {{1, 0, false, UpdateOutcome::None}, L"Check update files"},
        {{2, 0, false, UpdateOutcome::None}, L"Can't connection update server!"},
        {{3, 0, false, UpdateOutcome::None}, L"Find nothing to update."},
        {{3, -1, false, UpdateOutcome::None}, L"Find nothing to update."},
        {{3, 3, false, UpdateOutcome::None}, L"Found 3 files need to update..."},
        {{4, 3, false, UpdateOutcome::None}, L""},
        {{13, 3, false, UpdateOutcome::None}, L""},
        {{3, 3, true, UpdateOutcome::None}, L"updater is running..."},
        {{3, 3, false, UpdateOutcome::Completed}, L"Upgrade is completed"},
        {{3, 3, false, UpdateOutcome::Abandoned}, L"Upgrade is abort"},
        {{3, 3, true, UpdateOutcome::Completed}, L"updater is running..."},
    };
    for (const auto& c : cases) {
        const std::wstring line = MessageLine(texts, c.state);
        EXPECT_EQ(line, c.line) << c.state.status << "/" << c.state.fileCount;
        const std::optional<std::wstring> tip = TooltipFor(L"Question Bank", line);
        if (line.empty()) {
            EXPECT_FALSE(tip.has_value()) << "an empty line leaves the tooltip";
        } else {
            EXPECT_EQ(tip.value_or(L""), L"[Question Bank]\n" + line);
        }
    }
}

TEST(UpdateCenterTexts, TooltipIsCutToTheNotificationAreaNeverInsideASurrogatePair) {
    const std::wstring name(200, L'n');
    EXPECT_EQ(TooltipFor(name, L"line")->size(), kTooltipCapacity);
    std::wstring pairs;
    for (int i = 0; i < 100; ++i) pairs += L"\xD83D\xDE00";
    const std::wstring tip = *TooltipFor(L"ab", pairs);  // "[ab]\n" is 5 units: the cut falls mid-pair
    EXPECT_LE(tip.size(), kTooltipCapacity);
    EXPECT_FALSE(tip.back() >= 0xD800 && tip.back() <= 0xDBFF);
}

TEST(UpdateCenterTexts, TranslatedPerSectionAndCheckedBeforeFormatting) {
    const UpdateCenterTexts texts =
        UpdateCenterTexts::Translated([](const std::wstring& section, const std::wstring& text) {
            if (section == L"MAIN" && text == L"Found %d files need to update...")
                return std::wstring(L"发现 %s 个文件");
            if (section == L"TRYICON" && text == L"Update after %d seconds.") return std::wstring(L"%d 秒后更新");
            if (section == L"TRYICON" && text == L"updater is running...") return std::wstring(L"正在更新...");
            if (section == L"TRYICON" && text == L"Exit") return std::wstring(L"wrong section");
            if (section == L"MAIN" && text == L"Cancel") return std::wstring(L"wrong section");
            return text;
        });
    // A translation with other placeholders is not used.
    EXPECT_EQ(texts.FoundText(3), L"Found 3 files need to update...");
    EXPECT_EQ(texts.CountdownText(120), L"120 秒后更新");
    EXPECT_EQ(texts.running, L"正在更新...");  // MAIN has none: TRYICON's
    EXPECT_EQ(texts.exit, L"Exit");
    EXPECT_EQ(texts.cancel, L"Cancel");
}

TEST(UpdateCenterOutcome, FromTheStatusTheRunEndedWith) {
    const struct {
        int status;
        int files;
        UpdateOutcome outcome;
    } cases[] = {
        {12, 3, UpdateOutcome::Completed}, {12, 0, UpdateOutcome::Completed}, {5, 3, UpdateOutcome::Abandoned},
        {8, 1, UpdateOutcome::Abandoned},  {2, 0, UpdateOutcome::None},       {3, 0, UpdateOutcome::None},
        {4, 2, UpdateOutcome::Abandoned},
    };
    for (const auto& c : cases) EXPECT_EQ(OutcomeOf(c.status, c.files), c.outcome) << c.status << "/" << c.files;
}

TEST(UpdateCenterPopUp, BottomRightCornerOfTheScreen) {
    const POINT at = PopUpPosition(SIZE{1280, 800}, SIZE{220, 150});
    EXPECT_EQ(at.x, 1280 - 220 - 5);
    EXPECT_EQ(at.y, 800 - 150 - 45);
}

TEST(UpdateCenterPopUp, LayoutAndButtonsUnderTheMouse) {
    const PopUpTexts texts{{80, 14}, {150, 13}, {120, 13}, {35, 13}, {55, 13}, {38, 13}};
    const SIZE client{220, 150};
    const PopUpLayout with = LayOutPopUp(client, texts, true);
    EXPECT_EQ(with.name.left, 20);
    EXPECT_EQ(with.name.top, 20);
    EXPECT_EQ(with.message.top, with.name.bottom + 5);
    EXPECT_EQ(with.countdown.top, with.message.bottom + 5);
    EXPECT_EQ(with.cancel.left, with.countdown.right + 5);
    EXPECT_EQ(with.cancel.top, with.countdown.top);
    EXPECT_EQ(with.checkAgain.left, 220 / 3);
    EXPECT_EQ(with.update.left, 220 * 2 / 3);
    EXPECT_EQ(with.checkAgain.top, 150 - 32);
    EXPECT_EQ(with.update.top, 150 - 32);
    const PopUpLayout without = LayOutPopUp(client, texts, false);
    EXPECT_TRUE(::IsRectEmpty(&without.cancel));
    EXPECT_TRUE(::IsRectEmpty(&without.countdown));

    ButtonMap buttons;
    buttons.Set(kButtonClose, kCloseRect);
    buttons.Set(kButtonCancel, with.cancel);
    buttons.Set(kButtonCheck, with.checkAgain);
    buttons.Set(kButtonUpdate, with.update);
    const struct {
        POINT point;
        const wchar_t* button;
    } cases[] = {
        {{200, 10}, kButtonClose},
        {{196, 8}, kButtonClose},
        {{210, 22}, L""},  // right and bottom edges lie outside
        {{with.cancel.left + 2, with.cancel.top + 2}, kButtonCancel},
        {{with.checkAgain.left + 1, with.checkAgain.top + 1}, kButtonCheck},
        {{with.update.right - 1, with.update.bottom - 1}, kButtonUpdate},
        {{5, 5}, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(buttons.At(c.point), c.button) << c.point.x << "," << c.point.y;
    // Without a countdown the "Cancel" link is gone.
    buttons.Set(kButtonCancel, without.cancel);
    EXPECT_EQ(buttons.At(POINT{with.cancel.left + 2, with.cancel.top + 2}), L"");
}

}  // namespace
}  // namespace mf::ui
