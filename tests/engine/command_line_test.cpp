#include <gtest/gtest.h>

#include "engine/command_line.h"

namespace mf {
namespace {

TEST(CommandLine, ModeNamedOnTheCommandLineOrOnlyConfigured) {
    auto none = [](std::uintptr_t) { return false; };
    const struct {
        const wchar_t* raw;
        const wchar_t* configured;
        bool onCommandLine;
        RunMode runMode;
    } cases[] = {
        {L"x.exe", L"AppEnterNoPrompt", false, RunMode::AppEnterNoPrompt},
        {L"x.exe -silence 12", L"AppEnterNoPrompt", true, RunMode::Silence},
        {L"x.exe /icon", L"", true, RunMode::TryIcon},
        {L"x.exe /___runas_admin___", L"", false, RunMode::Launcher},
        {L"x.exe", L"showwhenhaveupdate", false, RunMode::Launcher},  // aliases only on the command line
    };
    for (const auto& c : cases) {
        const CommandLine line = ParseCommandLine(c.raw, L"", c.configured, none);
        EXPECT_EQ(line.modeOnCommandLine, c.onCommandLine) << c.raw;
        EXPECT_EQ(line.runMode, c.runMode) << c.raw;
    }
}

TEST(CommandLine, ModesHostWindowAndSwitches) {
    const std::wstring own = L"C:\\Tarnwick\\vdzq\\QB\\mirefold.exe";
    auto isWindow = [](std::uintptr_t h) { return h == 65758 || h == 131072; };
    struct Case {
        const wchar_t* raw;
        const wchar_t* configured;
        const wchar_t* mode;
        std::uintptr_t host;
        const wchar_t* dotnet;
        bool elevated;
    };
    const Case cases[] = {
        {L"\"C:\\Tarnwick\\vdzq\\QB\\mirefold.exe\" -SILENCE 65758", L"AppEnterNoPrompt", L"silence", 65758, L"",
         false},
        {L"\"c:\\tarnwick\\vdzq\\qb\\mirefold.exe\" /silence,65758", L"", L"silence", 65758, L"", false},
        {L"x.exe Silence 65758abc", L"", L"silence", 65758, L"", false},
        // The later word wins; the last existing window wins.
        {L"x.exe tryicon uninstall", L"", L"uninstall", 0, L"", false},
        {L"x.exe uninstall-tryicon 131072 65758", L"", L"tryicon", 65758, L"", false},
        // Aliases only from the command line; the configured mode as written.
        {L"x.exe showwhenhaveupdate", L"", L"showwhenupdate", 0, L"", false},
        {L"x.exe -icon", L"", L"tryicon", 0, L"", false},
        {L"x.exe", L" Icon ", L"icon", 0, L"", false},
        {L"x.exe", L"AppEnterNoPrompt", L"appenternoprompt", 0, L"", false},
        // A number that names no window is not a host window.
        {L"x.exe silence 12345", L"", L"silence", 0, L"", false},
        {L"x.exe /checkforupdates /___runas_admin___", L"", L"checkforupdates", 0, L"", true},
        {L"x.exe dotnet35", L"", L"", 0, L"3.5", false},
        {L"x.exe dotnet20 dotnet40", L"", L"", 0, L"2.0", false},
        // At index 0 of the stored line the switch does not count.
        {L"dotnet35", L"", L"", 0, L"", false},
        {L"\"C:\\Tarnwick\\vdzq\\QB\\mirefold.exe\"", L"", L"", 0, L"", false},
    };
    for (const Case& c : cases) {
        const CommandLine line = ParseCommandLine(c.raw, own, c.configured, isWindow);
        SCOPED_TRACE(testing::Message() << "command line " << testing::PrintToString(std::wstring(c.raw)));
        EXPECT_EQ(line.dotnetVersion, c.dotnet);
        if (line.dotnetVersion.empty()) {
            EXPECT_EQ(line.mode, c.mode);
            EXPECT_EQ(line.hostWindow, c.host);
        }
        EXPECT_EQ(line.elevatedRelaunch, c.elevated);
    }
}

// Run from a folder other than the working folder, the program's path
// stays in the stored line, but words and numbers in it are never read as
// a mode or a window: only the arguments are.
TEST(CommandLine, TheProgramsOwnPathNamesNoModeAndNoWindow) {
    const std::wstring own = L"C:\\Tarnwick\\vdzq\\QB\\mirefold.exe";
    auto isWindow = [](std::uintptr_t h) { return h == 52 || h == 2024 || h == 65758; };
    const struct {
        const wchar_t* raw;
        const wchar_t* mode;
        std::uintptr_t host;
    } cases[] = {
        {L"\"C:\\users\\ann\\Temp\\mftest-52-1\\mirefold.exe\" -emptytemp", L"emptytemp", 0},
        {L"\"C:\\My Files\\qbank 2024\\x.exe\" silence 65758", L"silence", 65758},
        {L"C:\\setup-uninstall-2024\\x.exe", L"appenternoprompt", 0},
        {L"C:\\setup-uninstall-2024\\x.exe\t-silence,52", L"silence", 52},
        {L"\"C:\\a-silence-52\\x.exe", L"appenternoprompt", 0},  // no closing quote: all of it is the program
        {L"\"C:\\Tarnwick\\vdzq\\QB\\mirefold.exe\" c:\\tarnwick\\vdzq\\qb\\mirefold.exe 52", L"appenternoprompt", 52},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "command line " << testing::PrintToString(std::wstring(c.raw)));
        const CommandLine line = ParseCommandLine(c.raw, own, L"AppEnterNoPrompt", isWindow);
        EXPECT_EQ(line.mode, c.mode);
        EXPECT_EQ(line.hostWindow, c.host);
    }
    // The stored text (handed on to an elevated run) is as before.
    const CommandLine line = ParseCommandLine(L"\"C:\\Dl\\qbank-2024\\x.exe\" Silence", own, L"", isWindow);
    EXPECT_EQ(line.stored, L"c:\\dl\\qbank-2024\\x.exe silence");
    EXPECT_EQ(line.hostWindow, 0u);
}

TEST(CommandLine, StoredTextDropsQuotesAndOwnPath) {
    const CommandLine line =
        ParseCommandLine(L"\"C:\\Tarnwick\\vdzq\\QB\\Mirefold.exe\"  Silence 42 ",
                         L"C:\\Tarnwick\\vdzq\\\\QB\\mirefold.exe", L"", [](std::uintptr_t) { return false; });
    EXPECT_EQ(line.stored, L"silence 42");
}

TEST(ExitCode, Rule) {
    EXPECT_EQ(ComputeExitCode(3, L"", L"1.0"), 3);
    EXPECT_EQ(ComputeExitCode(3, L"2.0", L"1.0"), 3);
    EXPECT_EQ(ComputeExitCode(0, L"2.0", L"1.0"), 2147483647);
    EXPECT_EQ(ComputeExitCode(0, L"V1.0", L"v1.0"), 2147483647);
    EXPECT_EQ(ComputeExitCode(0, L"1.0", L"1.0"), 0);
    EXPECT_EQ(ComputeExitCode(0, L"", L"1.0"), 0);
}

}  // namespace
}  // namespace mf
