#include <gtest/gtest.h>

#include <regex>

#include "app/update_app.h"
#include "base/strings.h"
#include "engine/paths.h"
#include "support/end_to_end.h"
#include "support/window_driver.h"

namespace mf {
namespace {

using test::EngineRun;

// Each test brands its own engine for its own product name, so that tests
// running side by side never share a working folder.
class StartupTest : public test::EndToEndTest {
protected:
    StartupTest() : EndToEndTest(L"startup-e2e") {}

    // Without a list server, in the mode that only empties the cache.
    test::EngineIni Config() const { return OfflineIni(); }

    // The mode and host window start-up logged last.
    static std::string LoggedMode(const std::string& log) {
        const std::regex mode(R"(Run mode \[([^\]]*)\], host window \[(\d+)\])");
        std::string found = "(none)";
        for (auto it = std::sregex_iterator(log.begin(), log.end(), mode); it != std::sregex_iterator(); ++it)
            found = (*it)[1].str() + "/" + (*it)[2].str();
        return found;
    }
};

TEST_F(StartupTest, PreparesTheWorkingFolderAndWritesTheConfigurationByteForByte) {
    // Odd but legal bytes: a high-ANSI character, a LF-only line, no final
    // line break.
    const std::string config = Config().Text() + "Extra=caf\xe9\nTail=1\r\nZQTitle=last line";
    ASSERT_TRUE(test::BrandEngine(config, exe_));
    const EngineRun run = Run(L"");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(FolderExists(Folder()));
    EXPECT_EQ(test::ReadFileBytes(Folder() + L"mirefold.ini"), config);

    const std::regex stamped(R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\]Run mode \[emptytemp\], host window \[0\]\r$)",
                             std::regex::multiline);
    EXPECT_TRUE(std::regex_search(run.log, stamped)) << run.log;

    // The embedded browser's emulation value, from the installed browser's
    // major version, under the executable's file name.
    wchar_t version[64] = {};
    DWORD size = sizeof version;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", L"Version", RRF_RT_REG_SZ,
                       nullptr, version, &size) == ERROR_SUCCESS) {
        DWORD emulation = 0;
        size = sizeof emulation;
        ASSERT_EQ(
            ::RegGetValueW(HKEY_LOCAL_MACHINE,
                           L"SOFTWARE\\Microsoft\\Internet Explorer\\MAIN\\FeatureControl\\FEATURE_BROWSER_EMULATION",
                           L"mirefold.exe", RRF_RT_REG_DWORD, nullptr, &emulation, &size),
            ERROR_SUCCESS);
        EXPECT_EQ(emulation, static_cast<DWORD>(ParseLong(version)) * 1000) << Narrow(version);
    }
}

TEST_F(StartupTest, ProductSetFolderWhenACompanionFileSitsAboveTheExecutable) {
    Brand(Config());
    for (const wchar_t* companion : {L"QuorvilSet.ini", L"QuorvilKC.ini"}) {
        SCOPED_TRACE(Narrow(companion));
        test::TempFolder root;
        const std::wstring bin = root / L"bin";
        ASSERT_TRUE(CreateFolderTree(bin));
        ASSERT_TRUE(::CopyFileW(exe_.c_str(), (bin + L"\\mirefold.exe").c_str(), FALSE));
        ASSERT_TRUE(test::WriteFileBytes(root / companion, "[APPLICATION]\r\nQuorvilSetId=77\r\n"));

        wchar_t windows[MAX_PATH + 1] = {};
        ::GetWindowsDirectoryW(windows, MAX_PATH);
        const std::wstring setFolder = WorkFolderFor(windows, L"77\\ZQ_" + name(), true);
        EXPECT_EQ(setFolder.substr(1), L":\\Tarnwick\\vdBook\\77\\ZQ_" + name() + L"\\");
        EXPECT_EQ(test::RunAndWait(L"\"" + bin + L"\\mirefold.exe\""), 0);
        EXPECT_TRUE(FileExists(setFolder + L"mirefold.ini"));
        EXPECT_FALSE(FolderExists(Folder()));
        RemoveTree(setFolder);
    }
}

TEST_F(StartupTest, ModeComesFromTheCommandLine) {
    Brand(Config());
    struct Case { const wchar_t* arguments; const char* mode; };
    const Case cases[] = {
        {L"-DOWNPARAM0", "downparam0/0"},
        {L"/downparam1", "downparam1/0"},
        {L"downparam1 emptytemp", "emptytemp/0"},
        {L"emptytemp,downparam0", "downparam0/0"},
        {L"", "emptytemp/0"},  // the configured mode
    };
    for (const Case& c : cases) {
        const EngineRun run = Run(c.arguments);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(LoggedMode(run.log), c.mode) << Narrow(c.arguments);
    }
}

TEST_F(StartupTest, ADecimalTokenNamingAWindowBecomesTheHostWindow) {
    Brand(Config());
    HWND window = ::CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const auto handle = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(window));
    EngineRun run = Run(L"-emptytemp " + std::to_wstring(handle));
    EXPECT_EQ(LoggedMode(run.log), "emptytemp/" + std::to_string(handle));
    ::DestroyWindow(window);

    run = Run(L"-emptytemp " + std::to_wstring(handle));  // gone now
    EXPECT_EQ(LoggedMode(run.log), "emptytemp/0");
}

TEST_F(StartupTest, DotNetSwitchEndsStartUpBeforeTheMode) {
    Brand(Config());
    test::ChildProcess engine = Start(L"emptytemp dotnet35");
    ASSERT_TRUE(engine.started());
    // The download dialog for 3.5, closed without downloading.
    const HWND dialog = test::WaitForDialogWithControl(engine.id(), 144);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(test::PressButton(dialog, IDCANCEL));
    ASSERT_TRUE(engine.Wait(std::chrono::seconds(60)));
    EXPECT_EQ(engine.ExitCode(), 0u);
    const std::string log = Log();
    EXPECT_NE(log.find("Offer .NET Framework 3.5"), std::string::npos) << log;
    EXPECT_EQ(LoggedMode(log), "(none)");
}

TEST_F(StartupTest, OnlyStartsTheMainProgramWhenItIsPresent) {
    Brand(Config());
    const std::wstring marker = Folder() + L"started.txt";
    // Without the main program start-up goes on to the mode.
    EngineRun run = Run(L"");
    EXPECT_EQ(LoggedMode(run.log), "emptytemp/0");
    EXPECT_FALSE(FileExists(marker));

    // A plain start (only the configured mode) starts the present main
    // program and ends start-up.
    ASSERT_TRUE(test::WriteFileBytes(Folder() + L"main.cmd", test::MarkingMainProgram(marker)));
    ::DeleteFileW((Folder() + L"inst.log").c_str());
    run = Run(L"");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(LoggedMode(run.log), "(none)");
    EXPECT_TRUE(test::WaitUntil([&] { return FileExists(marker); }, std::chrono::seconds(20)));

    // A mode on the command line is what the caller asked for: it runs, and
    // the main program is not started by start-up.
    ::DeleteFileW(marker.c_str());
    ::DeleteFileW((Folder() + L"inst.log").c_str());
    run = Run(L"-emptytemp");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(LoggedMode(run.log), "emptytemp/0");
    ::Sleep(2000);
    EXPECT_FALSE(FileExists(marker));
}

TEST_F(StartupTest, EmptyTempRemovesTheListCacheFiles) {
    Brand(Config());
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring base = ReduceBackslashes(
        std::wstring(temp) + L"\\" + ListNameHash(L"http://127.0.0.1:9/" + name() + L"/update.xml9999999999"));
    for (const wchar_t* suffix : {L".xml", L".xml.xml", L".bin", L".ini", L".lst"})
        ASSERT_TRUE(test::WriteFileBytes(base + suffix, "x"));
    ASSERT_TRUE(CreateFolderTree(base + L"\\data\\sub"));
    ASSERT_TRUE(test::WriteFileBytes(base + L"\\data\\sub\\q.dat_", "x"));

    EXPECT_EQ(Run(L"emptytemp").exitCode, 0);
    for (const wchar_t* suffix : {L".xml", L".xml.xml", L".bin", L".ini"}) EXPECT_FALSE(FileExists(base + suffix));
    EXPECT_FALSE(FolderExists(base));
    EXPECT_TRUE(FileExists(base + L".lst"));  // the saved list is not a cache file
    ::DeleteFileW((base + L".lst").c_str());
}

TEST_F(StartupTest, OldFilesAreRemovedAtStart) {
    Brand(Config());
    ASSERT_TRUE(CreateFolderTree(Folder()));
    ASSERT_TRUE(test::WriteFileBytes(Folder() + L"old.dll.__old", "x"));
    ASSERT_TRUE(test::WriteFileBytes(Folder() + L"__oldfiles.lst", "\r\nold.dll.__old\r\nmissing.dll.__old0"));
    EXPECT_EQ(Run(L"").exitCode, 0);
    EXPECT_FALSE(FileExists(Folder() + L"old.dll.__old"));
    EXPECT_FALSE(FileExists(Folder() + L"__oldfiles.lst"));
}

}  // namespace
}  // namespace mf
