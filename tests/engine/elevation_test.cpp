#include <gtest/gtest.h>

#include <future>

#include "base/strings.h"
#include "engine/command_line.h"
#include "engine/elevation.h"
#include "engine/status.h"
#include "support/engine_fixture.h"

namespace mf {
namespace {

TEST(Elevation, RelaunchParameters) {
    EXPECT_EQ(ElevatedParameters(L"silence 65758"), L"silence 65758 /___runas_admin___");
    EXPECT_EQ(ElevatedParameters(L""), L"/___runas_admin___");
    // The saved list's digest follows the marker, as a word that names no
    // mode and no window.
    EXPECT_EQ(ElevatedParameters(L"silence 65758", L"09ab"), L"silence 65758 /___runas_admin___ /listdigest=09ab");
    const CommandLine line = ParseCommandLine(L"mirefold.exe silence 65758 /___runas_admin___ /listdigest=09AB", L"",
                                              L"", [](std::uintptr_t h) { return h == 9; });
    EXPECT_TRUE(line.elevatedRelaunch);
    EXPECT_EQ(line.handOverDigest, L"09ab");
    EXPECT_EQ(line.runMode, RunMode::Silence);
    EXPECT_EQ(line.hostWindow, 0u);
    // Without the marker a digest means nothing.
    EXPECT_EQ(ParseCommandLine(L"mirefold.exe /listdigest=09ab", L"", L"", [](std::uintptr_t) { return false; })
                  .handOverDigest,
              L"");
}

class ElevationPromptTest : public test::EngineFixture {};

TEST_F(ElevationPromptTest, DecliningTheConfigurationPromptChangesNothing) {
    WriteIni(test::EngineIni().Set(L"APPLICATION", L"Name", L"Prompt Demo"));
    auto answer = std::async(std::launch::async, [] { return test::AnswerMessageBox(::GetCurrentProcessId(), IDNO); });
    PromptElevationForConfig(L"C:\\Tarnwick\\vdzq\\QB\\mirefold.ini");
    const std::wstring text = answer.get();
    EXPECT_NE(text.find(L"Can't write to file"), std::wstring::npos);
    EXPECT_NE(text.find(L"C:\\Tarnwick\\vdzq\\QB\\mirefold.ini"), std::wstring::npos);
    EXPECT_NE(text.find(L"Restart program now?"), std::wstring::npos);
    EXPECT_FALSE(state().run.elevationRequested);
}

TEST_F(ElevationPromptTest, PromptIsTranslated) {
    WriteIni(test::EngineIni().Set(L"APPLICATION", L"Name", L"Prompt Demo"));
    state().language.LoadText(
        L"[MAIN]\nCan't write to file\\n%s\\nRequest run as administrator.\\nRestart program "
        L"now?=无法写入文件\\n%s\\n现在重新启动程序吗？\n");
    auto answer = std::async(std::launch::async, [] { return test::AnswerMessageBox(::GetCurrentProcessId(), IDNO); });
    PromptElevationForConfig(L"C:\\x\\mirefold.ini");
    const std::wstring text = answer.get();
    EXPECT_NE(text.find(L"无法写入文件\nC:\\x\\mirefold.ini\n"), std::wstring::npos);
}

// The elevated relaunch end to end: RelaunchElevated starts this test
// program again through the shell's "runas" verb, with a stored command
// line that makes it run only the child case below. The child plays the new
// instance: it reports what it was started with and takes over the saved
// list.
constexpr wchar_t kChildFolderVariable[] = L"MF_ELEVATED_CHILD_FOLDER";
test::EngineIni RelaunchIni() {
    return test::EngineIni()
        .Set(L"Mirefold", L"TempAppPath", 1)
        .Set(L"APPLICATION", L"Name", L"Relaunch Demo")
        .Set(L"UPDATEINFO", L"ListURL", L"http://127.0.0.1:9/relaunch/update.xml");
}

updatefileinfo FileRecord(const std::wstring& path) {
    updatefileinfo record;
    record.path = path;
    record.ver = L"2";
    return record;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

TEST(ElevatedChild, DISABLED_TakesOverTheSavedList) {
    wchar_t folder[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(kChildFolderVariable, folder, MAX_PATH) == 0) GTEST_SKIP() << "child only";
    ProcessState state;
    ScopedProcessState use(state);
    state.workFolder.Set(folder);
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    const std::wstring saved = state.paths.SavedListFile();
    std::wstring report = L"commandline " + std::wstring(::GetCommandLineW()) + L"\n";
    report += L"current " + std::wstring(current) + L"\n";
    report += L"found " + std::wstring(FileExists(saved) ? L"1" : L"0") + L"\n";
    const CommandLine line = ParseCommandLine(::GetCommandLineW(), L"", L"", [](std::uintptr_t) { return false; });
    DownLoadList taken;
    const bool took = LoadSavedUpdateListForElevatedRun(line.handOverDigest, taken);
    report += L"taken " + std::wstring(took ? L"1" : L"0") + L"\n";
    for (const updatefileinfo& record : taken.Records()) report += L"record " + record.path + L"\n";
    report += L"left " + std::wstring(FileExists(saved) ? L"1" : L"0") + L"\n";
    ASSERT_TRUE(test::WriteFileBytes(std::wstring(folder) + L"child-report.txt", Narrow(report, CodePage::Utf8)));
}

class ElevatedRelaunchTest : public test::EngineFixture {};

TEST_F(ElevatedRelaunchTest, TheNewInstanceGetsTheCommandLineWithTheMarkerAndTakesOverTheSavedList) {
    WriteIni(RelaunchIni());
    const std::wstring saved = state().paths.SavedListFile();
    ASSERT_EQ(WithoutTrailingBackslash(saved.substr(0, saved.find_last_of(L'\\'))),
              WithoutTrailingBackslash(folder().path()));
    // A list an earlier run left behind is never resumed.
    DownLoadList stale;
    stale.Add(FileRecord(L"stale.dll"));
    ASSERT_TRUE(stale.SaveToFile(saved));

    state().updateList.Add(FileRecord(L"bin\\QBank.exe"));
    state().updateList.Add(FileRecord(L"data\\bank.db"));
    const std::wstring stored =
        L"--gtest_also_run_disabled_tests --gtest_filter=ElevatedChild.DISABLED_TakesOverTheSavedList silence 65758";
    state().run.commandLine = stored;
    const std::wstring report = folder() / L"child-report.txt";

    ::SetEnvironmentVariableW(kChildFolderVariable, (folder().path() + L"\\").c_str());
    RelaunchElevated(true);
    ::SetEnvironmentVariableW(kChildFolderVariable, nullptr);
    EXPECT_TRUE(state().run.elevationRequested);

    ASSERT_TRUE(test::WaitUntil([&] { return FileExists(report); }, std::chrono::seconds(60)));
    std::vector<std::wstring> lines;
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            lines = Split(Widen(test::ReadFileBytes(report), CodePage::Utf8), L'\n');
            return lines.size() >= 6 && StartsWith(lines[lines.size() - 2], L"left ");
        },
        std::chrono::seconds(10)));
    const std::size_t marker = lines[0].find(L" " + stored + L" /___runas_admin___ /listdigest=");
    ASSERT_NE(marker, std::wstring::npos) << Narrow(lines[0]);
    EXPECT_EQ(lines[0].size() - lines[0].rfind(L'=') - 1, 64u) << Narrow(lines[0]);
    EXPECT_TRUE(EqualsNoCase(WithoutTrailingBackslash(lines[1].substr(8)), WithoutTrailingBackslash(folder().path())))
        << Narrow(lines[1]);
    EXPECT_EQ(lines[2], L"found 1");
    EXPECT_EQ(lines[3], L"taken 1");
    EXPECT_EQ(lines[4], L"record bin\\QBank.exe");
    EXPECT_EQ(lines[5], L"record data\\bank.db");
    EXPECT_EQ(lines[6], L"left 0");
}

TEST_F(ElevatedRelaunchTest, WithoutSavingAStaleListIsDeletedAllTheSame) {
    WriteIni(RelaunchIni());
    const std::wstring saved = state().paths.SavedListFile();
    DownLoadList stale;
    stale.Add(FileRecord(L"stale.dll"));
    ASSERT_TRUE(stale.SaveToFile(saved));
    // The new instance runs the child case without its folder: it does
    // nothing.
    ::SetEnvironmentVariableW(kChildFolderVariable, nullptr);
    state().run.commandLine =
        L"--gtest_also_run_disabled_tests --gtest_filter=ElevatedChild.DISABLED_TakesOverTheSavedList";
    RelaunchElevated(false);
    EXPECT_FALSE(FileExists(saved));
    EXPECT_TRUE(state().run.elevationRequested);
}

// The elevated instance's side alone: a whole list is taken (for the
// caller to check); a damaged one leaves the run to check again. The file
// is gone in every case.
TEST_F(ElevatedRelaunchTest, TheSavedListResumesTheRunOnlyWhenItIsWhole) {
    struct Case {
        const char* name;
        int records;
        bool damaged;
        bool taken;
        int loaded;
    };
    const Case cases[] = {
        {"two files", 2, false, true, 2},
        {"no files", 0, false, true, 0},
        {"cut short", 3, true, false, 0},
    };
    WriteIni(RelaunchIni());
    const std::wstring saved = state().paths.SavedListFile();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state().updateList.SetSize(0);
        state().updateList.SetStatus(UpdateStatus::None);
        DownLoadList list;
        for (int i = 0; i < c.records; ++i) list.Add(FileRecord(L"file" + std::to_wstring(i) + L".dll"));
        ASSERT_TRUE(list.SaveToFile(saved));
        if (c.damaged) {
            const std::string bytes = test::ReadFileBytes(saved);
            ASSERT_TRUE(test::WriteFileBytes(saved, bytes.substr(0, bytes.size() / 2)));
        }
        DownLoadList taken;
        EXPECT_EQ(LoadSavedUpdateListForElevatedRun(HandOverDigest(test::ReadFileBytes(saved)), taken), c.taken);
        if (c.taken) {
            EXPECT_EQ(taken.GetSize(), c.loaded);
        }
        EXPECT_EQ(state().updateList.Status(), UpdateStatus::None);
        EXPECT_FALSE(FileExists(saved));
    }
}

// The saved list lies in the user's temporary folder, where any program of
// the user can write: the elevated instance takes it only with the digest
// that the instance asking for rights handed over on the command line.
TEST_F(ElevatedRelaunchTest, AListTheHandOverDidNotWriteIsRefused) {
    WriteIni(RelaunchIni());
    const std::wstring saved = state().paths.SavedListFile();
    DownLoadList handedOver;
    handedOver.Add(FileRecord(L"bin\\QBank.exe"));
    state().updateList = handedOver;
    const std::wstring digest = SaveUpdateListForElevatedRun(saved);
    ASSERT_EQ(digest.size(), 64u);
    DownLoadList planted;
    updatefileinfo evil = FileRecord(L"bin\\QBank.exe");
    evil.desname = L"{sys}\\evil.dll";
    planted.Add(evil);

    struct Case {
        const char* name;
        bool plant;
        std::wstring digest;
    };
    const Case cases[] = {
        {"replaced after the hand-over", true, digest},
        {"planted, no digest on the command line", true, L""},
        {"the hand-over's own list", false, digest},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state().updateList = handedOver;
        if (c.plant) {
            ASSERT_TRUE(planted.SaveToFile(saved));
        } else {
            ASSERT_EQ(SaveUpdateListForElevatedRun(saved), digest);
        }
        DownLoadList taken;
        EXPECT_EQ(LoadSavedUpdateListForElevatedRun(c.digest, taken), !c.plant);
        EXPECT_FALSE(FileExists(saved));
        if (!c.plant) {
            ASSERT_EQ(taken.GetSize(), 1);
            EXPECT_EQ(taken[0].desname, L"");
        }
    }
}

}  // namespace
}  // namespace mf
