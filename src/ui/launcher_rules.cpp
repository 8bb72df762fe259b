#include "ui/launcher_rules.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/strings.h"
#include "base/update_status.h"

namespace mf::ui {

PageCommand PageCommandIn(std::wstring_view url) {
    static constexpr std::pair<const wchar_t*, PageCommand> kOrder[] = {
        {L"type=loadComplete", PageCommand::LoadComplete},
        {L"type=activate", PageCommand::Activate},
        {L"type=system&op=min", PageCommand::Minimise},
        {L"type=system&op=max", PageCommand::Maximise},
        {L"type=system&op=repair", PageCommand::Restore},
        {L"type=system&op=exit", PageCommand::Exit},
        {L"Type=activateApp", PageCommand::ActivateApp},
        {L"Type=moveWindows", PageCommand::MoveWindow},
    };
    for (const auto& [text, command] : kOrder)
        if (url.find(text) != std::wstring_view::npos) return command;
    return PageCommand::None;
}

namespace {

bool IsBlank(std::wstring_view url) { return EqualsNoCase(url, L"about:blank"); }

bool OnPracticeSite(std::wstring_view url, const gui::WebAddress& practice) {
    const std::optional<gui::WebAddress> address = gui::ParseWebAddress(url);
    return address && gui::SameSite(*address, practice);
}

bool CommandFromPractice(const NavigationFacts& facts, const gui::WebAddress& practice) {
    if (!facts.topLocation.empty() && !OnPracticeSite(facts.topLocation, practice)) return false;
    if (facts.topLevel) return true;
    return facts.frameLocation.empty() || IsBlank(facts.frameLocation) || OnPracticeSite(facts.frameLocation, practice);
}

}  // namespace

NavigationVerdict DecideNavigation(std::wstring_view url, const NavigationFacts& facts,
                                   const gui::WebAddress& practice) {
    if (PageCommandIn(url) != PageCommand::None) {
        return OnPracticeSite(url, practice) && CommandFromPractice(facts, practice) ? NavigationVerdict::Command
                                                                                     : NavigationVerdict::Refuse;
    }
    if (IsBlank(url)) return NavigationVerdict::Go;
    if (facts.topLevel) return OnPracticeSite(url, practice) ? NavigationVerdict::Go : NavigationVerdict::Refuse;
    return gui::ParseWebAddress(url) ? NavigationVerdict::Go : NavigationVerdict::Refuse;
}

Arrival JudgeArrival(std::wstring_view arrived, std::wstring_view requested, int redirectsSoFar,
                     const gui::WebAddress& practice) {
    if (arrived == requested || IsBlank(arrived)) return Arrival::Stay;
    return redirectsSoFar == 0 && OnPracticeSite(arrived, practice) ? Arrival::Redirected : Arrival::Leave;
}

LRESULT ResizeHitTest(POINT p, SIZE client) {
    const bool left = p.x < kResizeBand;
    const bool right = p.x >= client.cx - kResizeBand;
    const bool top = p.y < kResizeBand;
    const bool bottom = p.y >= client.cy - kResizeBand;
    if (left && top) return HTTOPLEFT;
    if (right && top) return HTTOPRIGHT;
    if (left && bottom) return HTBOTTOMLEFT;
    if (right && bottom) return HTBOTTOMRIGHT;
    if (left) return HTLEFT;
    if (right) return HTRIGHT;
    if (top) return HTTOP;
    if (bottom) return HTBOTTOM;
    return HTCAPTION;
}

LoadingLayout LayOutLoadingPage(SIZE host, SIZE bar, SIZE line) {
    LoadingLayout layout{};
    const LONG barLeft = (host.cx - bar.cx) / 2;
    const LONG barTop = host.cy / 2 + 50;
    layout.bar = RECT{barLeft, barTop, barLeft + bar.cx, barTop + bar.cy};
    const LONG pictureLeft = (host.cx - kLoadingPictureSize.cx) / 2;
    layout.picture =
        RECT{pictureLeft, barTop - kLoadingPictureSize.cy, pictureLeft + kLoadingPictureSize.cx, barTop};
    const LONG lineLeft = (host.cx - line.cx) / 2;
    const LONG lineTop = layout.bar.bottom + 10;
    layout.line = RECT{lineLeft, lineTop, lineLeft + line.cx, lineTop + line.cy};
    return layout;
}

RECT FirstRestoreRect(SIZE screen) {
    const LONG left = std::max<LONG>(0, (screen.cx - kRestoredSize.cx) / 2);
    const LONG top = std::max<LONG>(0, (screen.cy - kRestoredSize.cy) / 2);
    return RECT{left, top, left + kRestoredSize.cx, top + kRestoredSize.cy};
}

std::wstring CachingTooltip(int percent) {
    return L"澜石题库（正在缓存数据 " + std::to_wstring(percent) + L"%）";
}

std::wstring DownloadStatusText(int percent) {
    return L"正在下载题库文件，请稍候... " + std::to_wstring(percent) + L"%" + std::wstring(20, L' ');
}

std::wstring ProgressLineText(int percent) {
    return L"正在下载，请稍候... " + std::to_wstring(percent) + L"%" + std::wstring(2, L' ');
}

std::wstring LauncherTitle(std::wstring application) {
    for (std::size_t at = application.find(L".exe"); at != std::wstring::npos; at = application.find(L".exe", at))
        application.erase(at, 4);
    return application;
}

bool LoadingProgress::OnByteProgress(long size, long received) {
    // A size of 0 tells nothing; a total of 0 would divide by nothing.
    if (size == 0 || fileTotal_ <= 0) return false;
    const float share = (static_cast<float>(received) / static_cast<float>(size)) / static_cast<float>(fileTotal_) +
                        static_cast<float>(filesDone_) / static_cast<float>(fileTotal_);
    const float value = share * 90.0f + 10.0f;
    if (!std::isfinite(value)) return false;
    progress_ = std::min(value, 100.0f);
    RefreshTexts();
    return true;
}

bool LoadingProgress::OnStatusText(const std::wstring& text) {
    statusText_ = text;
    switch (static_cast<UpdateStatus>(status_)) {
        case UpdateStatus::CheckRemoteOk: progress_ = 10.0f; break;
        case UpdateStatus::CopyOk:
        case UpdateStatus::End: progress_ = 100.0f; break;
        case UpdateStatus::CheckRemoteError:
        case UpdateStatus::DownloadError:
        case UpdateStatus::CheckLocalError:
        case UpdateStatus::CopyError: return false;
        default:
            if (status_ < 0 || status_ > static_cast<int>(UpdateStatus::End)) return false;
            break;
    }
    RefreshTexts();
    return true;
}

void LoadingProgress::RefreshTexts() {
    const int percent = static_cast<int>(progress_);
    statusText_ = DownloadStatusText(percent);
    if (percent >= 100) {
        tooltip_ = kAlmostCachedTooltip;
        tooltipPercent_ = 100;
    } else if (percent > tooltipPercent_) {
        tooltip_ = CachingTooltip(percent);
        tooltipPercent_ = percent;
    }
}

LoadingProgress::Tick LoadingProgress::OnTimer() {
    bar_ = std::max(bar_, static_cast<int>(progress_ * 10.0f));
    return Tick{bar_, ProgressLineText(bar_ / 10), bar_ >= 1000};
}

}  // namespace mf::ui
