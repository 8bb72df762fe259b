#include "engine/command_line.h"

#include <array>
#include <cwctype>
#include <climits>
#include <utility>

#include "base/strings.h"

namespace mf {

namespace {

// Every mode under the text that the configuration and the command line
// name it by.
constexpr std::array<std::pair<std::wstring_view, RunMode>, 11> kModes{
    {{L"mostsimple", RunMode::MostSimple},
     {L"showwhenupdate", RunMode::ShowWhenUpdate},
     {L"tryicon", RunMode::TryIcon},
     {L"emptytemp", RunMode::EmptyTemp},
     {L"uninstall", RunMode::Uninstall},
     {L"silence", RunMode::Silence},
     {L"appenter", RunMode::AppEnter},
     {L"appenternoprompt", RunMode::AppEnterNoPrompt},
     {L"downparam0", RunMode::DownParam0},
     {L"downparam1", RunMode::DownParam1},
     {L"checkforupdates", RunMode::CheckForUpdates}}};

// Command-line words that select a mode of another text.
constexpr std::array<std::pair<std::wstring_view, std::wstring_view>, 2> kModeAliases{
    {{L"showwhenhaveupdate", L"showwhenupdate"}, {L"icon", L"tryicon"}}};

}  // namespace

std::wstring ModeForWord(std::wstring_view word) {
    for (const auto& [alias, mode] : kModeAliases) {
        if (word == alias) return std::wstring(mode);
    }
    for (const auto& [text, runMode] : kModes) {
        if (word == text) return std::wstring(text);
    }
    return {};
}

RunMode RunModeOf(std::wstring_view mode) {
    for (const auto& [text, runMode] : kModes) {
        if (mode == text) return runMode;
    }
    return RunMode::Launcher;
}

std::wstring_view ProgramArguments(std::wstring_view raw) {
    std::size_t end = 0;
    if (!raw.empty() && raw.front() == L'"') {
        end = raw.find(L'"', 1);
        end = end == std::wstring_view::npos ? raw.size() : end + 1;
    } else {
        while (end < raw.size() && raw[end] != L' ' && raw[end] != L'\t') ++end;
    }
    return raw.substr(end);
}

namespace {
// Lower-cased, without quotes and the own path, trimmed.
std::wstring CleanedLine(std::wstring_view raw, const std::wstring& own) {
    std::wstring line = ToLower(raw);
    ReplaceAll(line, L"\"", L"");
    if (!own.empty()) ReplaceAll(line, own, L"");
    return Trim(line);
}
}  // namespace

CommandLine ParseCommandLine(std::wstring_view raw, std::wstring_view ownPath, std::wstring_view configuredMode,
                             const std::function<bool(std::uintptr_t)>& isWindow) {
    CommandLine result;
    const std::wstring own = ReduceBackslashes(ToLower(ownPath));
    const std::wstring line = CleanedLine(raw, own);
    result.stored = line;
    result.elevatedRelaunch = Contains(line, kElevationMarker);
    if (const std::size_t at = line.find(kHandOverDigestWord); result.elevatedRelaunch && at != std::wstring::npos) {
        const std::size_t start = at + std::wstring_view(kHandOverDigestWord).size();
        std::size_t end = start;
        while (end < line.size() && std::iswxdigit(line[end])) ++end;
        result.handOverDigest = line.substr(start, end - start);
    }

    static constexpr std::array<std::pair<const wchar_t*, const wchar_t*>, 6> kDotNet{{
        {L"dotnet10", L"1.0"}, {L"dotnet11", L"1.1"}, {L"dotnet20", L"2.0"},
        {L"dotnet30", L"3.0"}, {L"dotnet35", L"3.5"}, {L"dotnet40", L"4.0"},
    }};
    for (const auto& [word, version] : kDotNet) {
        const std::size_t at = line.find(word);
        if (at != std::wstring::npos && at > 0) {
            result.dotnetVersion = version;
            break;
        }
    }

    // Mode words and window numbers come from the arguments only. The
    // program's own path is part of the line when the engine runs from
    // anywhere but its working folder (a first start from a download
    // folder), and a folder such as "qbank-2024" must not name a window.
    std::wstring working = CleanedLine(ProgramArguments(raw), own);
    ReplaceAll(working, L"-", L",");
    ReplaceAll(working, L"/", L",");
    ReplaceAll(working, L" ", L",");

    std::wstring mode(configuredMode);
    for (const std::wstring& token : Split(working, L',')) {
        const std::wstring word = ToLower(token);
        if (std::wstring m = ModeForWord(word); !m.empty()) {
            mode = m;
            result.modeOnCommandLine = true;
        }
        std::size_t digits = 0;
        while (digits < word.size() && word[digits] >= L'0' && word[digits] <= L'9') ++digits;
        if (digits == 0) continue;
        const std::int64_t value = ParseInt64(std::wstring_view(word).substr(0, digits));
        if (value > 0 && static_cast<std::uint64_t>(value) <= UINTPTR_MAX &&
            isWindow(static_cast<std::uintptr_t>(value))) {
            result.hostWindow = static_cast<std::uintptr_t>(value);
        }
    }
    result.mode = Trim(ToLower(mode));
    result.runMode = RunModeOf(result.mode);
    return result;
}

int ComputeExitCode(int updateCount, const std::wstring& announcedVersion, const std::wstring& installedVersion) {
    if (updateCount > 0) return updateCount;
    if (!announcedVersion.empty() && announcedVersion != installedVersion) return INT_MAX;
    return 0;
}

}  // namespace mf
