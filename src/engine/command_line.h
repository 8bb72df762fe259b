// The command line of the engine: mode words, the host window handle, the
// .NET switches and the elevation marker.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace mf {

inline constexpr wchar_t kElevationMarker[] = L"___runas_admin___";
// Follows the marker on the elevated command line: the digest of the saved
// update list that the elevated instance is to take over.
inline constexpr wchar_t kHandOverDigestWord[] = L"listdigest=";

// What a run does. Launcher is the default: a mode text that names none of
// the others opens the launcher window.
enum class RunMode {
    Launcher,
    MostSimple,
    ShowWhenUpdate,
    TryIcon,
    EmptyTemp,
    Uninstall,
    Silence,
    AppEnter,
    AppEnterNoPrompt,
    DownParam0,
    DownParam1,
    CheckForUpdates,
};

// The run mode of a (lower-cased, trimmed) mode text.
[[nodiscard]] RunMode RunModeOf(std::wstring_view mode);

struct CommandLine {
    std::wstring stored;        // lower-cased, quotes and own path removed, trimmed
    bool elevatedRelaunch = false;
    std::wstring handOverDigest;  // after kHandOverDigestWord, when given
    std::wstring dotnetVersion; // "1.0" ... "4.0" when a .NET switch was given
    std::wstring mode;          // lower-cased, trimmed
    RunMode runMode = RunMode::Launcher;
    bool modeOnCommandLine = false;  // a mode word was given, not only configured
    std::uintptr_t hostWindow = 0;
};

// The raw command line without the program name that leads it (quoted up
// to the closing quote, else up to the first blank), as Windows splits it.
[[nodiscard]] std::wstring_view ProgramArguments(std::wstring_view raw);

// Parses a raw command line. `ownPath` is the executable's path in the
// working folder; `configuredMode` is "Mode" of section "Mirefold";
// `isWindow` tells whether a number names an existing window.
CommandLine ParseCommandLine(std::wstring_view raw, std::wstring_view ownPath, std::wstring_view configuredMode,
                             const std::function<bool(std::uintptr_t)>& isWindow);

// The mode a command-line word selects, or empty when it is none.
std::wstring ModeForWord(std::wstring_view word);

// The exit code rule: the update count when above 0; 2147483647 when the
// announced version differs from the installed one; else 0.
int ComputeExitCode(int updateCount, const std::wstring& announcedVersion, const std::wstring& installedVersion);

}  // namespace mf
