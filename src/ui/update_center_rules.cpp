#include "ui/update_center_rules.h"

#include <algorithm>

#include "base/strings.h"
#include "base/text_format.h"

namespace mf::ui {

namespace {

constexpr int kStatusCheckRemote = 1;
constexpr int kStatusCheckRemoteError = 2;
constexpr int kStatusCheckRemoteOk = 3;
constexpr int kStatusCopyOk = 12;

constexpr wchar_t kFoundEnglish[] = L"Found %d files need to update...";
constexpr wchar_t kCountdownEnglish[] = L"Update after %d seconds.";

RECT RectAt(int left, int top, SIZE size) { return RECT{left, top, left + size.cx, top + size.cy}; }

}  // namespace

CountdownTick TickCountdown(int countdown, long long lastCheck, long long now) {
    CountdownTick tick;
    tick.countdown = countdown;
    if (countdown < 0) return tick;
    const long long elapsed = std::max(0LL, now - lastCheck);
    const int step = static_cast<int>((elapsed % 60) / 10);
    tick.countdown = std::max(0, countdown - step);
    tick.changed = tick.countdown != countdown;
    tick.expired = countdown > 0 && tick.countdown == 0;
    return tick;
}

int CheckIntervalMinutes(std::wstring_view checkTmSpan) {
    const std::int64_t minutes = ParseInt64(checkTmSpan);
    if (minutes <= 0) return kDefaultCheckMinutes;
    if (minutes >= kLongestCheckMinutes) return kLongestCheckMinutes;
    return static_cast<int>(minutes);
}

bool CheckDue(std::wstring_view checkTmSpan, long long lastCheck, long long now) {
    const long long elapsed = now - lastCheck;
    return elapsed < 0 || elapsed >= CheckIntervalMinutes(checkTmSpan) * 60LL;
}

bool EndsAfterCheck(std::wstring_view checkTmSpan, int status, int fileCount) {
    return Trim(checkTmSpan).empty() && fileCount == 0 && status == kStatusCheckRemoteOk;
}

UpdateOutcome OutcomeOf(int finalStatus, int filesInList) {
    if (finalStatus == kStatusCopyOk) return UpdateOutcome::Completed;
    return filesInList > 0 ? UpdateOutcome::Abandoned : UpdateOutcome::None;
}

UpdateCenterTexts UpdateCenterTexts::Translated(const Translator& translate) {
    UpdateCenterTexts t;
    for (std::wstring* text : {&t.checking, &t.unreachable, &t.nothingFound, &t.found, &t.exit, &t.completed,
                               &t.abandoned})
        *text = translate(L"MAIN", *text);
    for (std::wstring* text : {&t.title, &t.showWindow, &t.countdown, &t.cancel, &t.checkAgain, &t.update})
        *text = translate(L"TRYICON", *text);
    const std::wstring running = t.running;
    t.running = translate(L"MAIN", running);
    if (t.running == running) t.running = translate(L"TRYICON", running);
    return t;
}

std::wstring UpdateCenterTexts::FoundText(int count) const { return FormatTranslated(kFoundEnglish, found, count); }

std::wstring UpdateCenterTexts::CountdownText(int seconds) const {
    return FormatTranslated(kCountdownEnglish, countdown, seconds);
}

std::wstring MessageLine(const UpdateCenterTexts& texts, const CenterState& state) {
    if (state.busy) return texts.running;
    switch (state.outcome) {
        case UpdateOutcome::Completed: return texts.completed;
        case UpdateOutcome::Abandoned: return texts.abandoned;
        case UpdateOutcome::None: break;
    }
    switch (state.status) {
        case kStatusCheckRemote: return texts.checking;
        case kStatusCheckRemoteError: return texts.unreachable;
        case kStatusCheckRemoteOk: return state.fileCount < 1 ? texts.nothingFound : texts.FoundText(state.fileCount);
        default: return {};
    }
}

std::optional<std::wstring> TooltipFor(std::wstring_view applicationName, std::wstring_view line) {
    if (line.empty()) return std::nullopt;
    std::wstring tip = L"[" + std::wstring(applicationName) + L"]\n" + std::wstring(line);
    if (tip.size() > kTooltipCapacity) {
        std::size_t keep = kTooltipCapacity;
        // Never between the halves of a surrogate pair.
        if (tip[keep - 1] >= 0xD800 && tip[keep - 1] <= 0xDBFF) --keep;
        tip.resize(keep);
    }
    return tip;
}

POINT PopUpPosition(SIZE screen, SIZE window) {
    return POINT{screen.cx - window.cx - 5, screen.cy - window.cy - 45};
}

void ButtonMap::Set(const std::wstring& name, const RECT& rect) {
    for (auto& [key, value] : buttons_) {
        if (key == name) {
            value = rect;
            return;
        }
    }
    buttons_.emplace_back(name, rect);
}

RECT ButtonMap::Get(const std::wstring& name) const {
    for (const auto& [key, value] : buttons_)
        if (key == name) return value;
    return RECT{};
}

std::wstring ButtonMap::At(POINT point) const {
    for (const auto& [key, value] : buttons_)
        if (::PtInRect(&value, point)) return key;
    return {};
}

PopUpLayout LayOutPopUp(SIZE client, const PopUpTexts& texts, bool countdownShown) {
    PopUpLayout layout;
    const int left = kTextInset;
    int top = kTextInset;
    layout.name = RectAt(left, top, texts.name);
    top = layout.name.bottom + kLineGap;
    layout.message = RectAt(left, top, texts.message);
    if (countdownShown) {
        top = layout.message.bottom + kLineGap;
        layout.countdown = RectAt(left, top, texts.countdown);
        layout.cancel = RectAt(layout.countdown.right + kLineGap, top, texts.cancel);
    }
    const int linksTop = client.cy - kLinksAboveBottom;
    layout.checkAgain = RectAt(client.cx / 3, linksTop, texts.checkAgain);
    layout.update = RectAt(client.cx * 2 / 3, linksTop, texts.update);
    return layout;
}

}  // namespace mf::ui
