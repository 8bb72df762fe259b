#include <gtest/gtest.h>

#include <future>
#include <regex>
#include <sstream>

#include "base/named_lock.h"
#include "base/strings.h"
#include "engine/log.h"
#include "support/engine_fixture.h"

namespace mf {
namespace {

using test::EngineFixture;
using test::EngineIni;

class LogTest : public EngineFixture {};

TEST(LogStamp, Format) {
    SYSTEMTIME t{};
    t.wYear = 2026;
    t.wMonth = 3;
    t.wDay = 7;
    t.wHour = 9;
    t.wMinute = 5;
    t.wSecond = 0;
    EXPECT_EQ(LogTimeStamp(t), L"[2026-03-07 09:05:00]");
}

TEST_F(LogTest, AppendsStampedLinesAndForwardsWithoutTheWorkingFolder) {
    WriteIni(EngineIni().Set(L"Mirefold", L"Log", L"inst.log"));
    std::vector<std::wstring> forwarded;
    state().log.SetForwarder([&](const std::wstring& line) { forwarded.push_back(line); });
    WriteLog(L"download " + folder().path() + L"\\data\\q1.dat");
    WriteLog(L"second");
    const std::string text = test::ReadFileBytes(folder() / L"inst.log");
    const std::regex line(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\][^\r\n]*\r\n)");
    std::string rest = text;
    int lines = 0;
    for (std::smatch m; std::regex_search(rest, m, line) && m.position() == 0; rest = m.suffix()) ++lines;
    EXPECT_EQ(lines, 2);
    EXPECT_TRUE(rest.empty()) << rest;
    EXPECT_NE(text.find("]download " + Narrow(folder().path()) + "\\data\\q1.dat\r\n"), std::string::npos);
    ASSERT_EQ(forwarded.size(), 2u);
    EXPECT_EQ(forwarded[0], L"download data\\q1.dat");
}

TEST_F(LogTest, NoLogNameMeansNoFileButWindowsStillGetLines) {
    WriteIni(EngineIni().Set(L"Mirefold", L"", L""));
    int forwarded = 0;
    state().log.SetForwarder([&](const std::wstring&) { ++forwarded; });
    WriteLog(L"x");
    EXPECT_EQ(forwarded, 1);
    EXPECT_TRUE(state().log.FilePath().empty());
}

TEST_F(LogTest, LogInAMissingFolderIsSilentlyLost) {
    WriteIni(EngineIni().Set(L"Mirefold", L"Log", L"no\\such\\folder\\inst.log"));
    WriteLog(L"lost");
    EXPECT_FALSE(FileExists(folder() / L"no\\such\\folder\\inst.log"));
    // The lock was released: a later line in a good file is written.
    state().config.ClearCache();
    WriteIni(EngineIni().Set(L"Mirefold", L"Log", L"ok.log"));
    WriteLog(L"kept");
    EXPECT_NE(test::ReadFileBytes(folder() / L"ok.log").find("]kept\r\n"), std::string::npos);
}

// Run only as a child process by the test below (disabled in ordinary
// runs): appends many long lines.
TEST(LogChild, DISABLED_WriteLines) {
    wchar_t folder[MAX_PATH] = {};
    wchar_t tag[16] = {};
    if (::GetEnvironmentVariableW(L"MF_LOG_CHILD_FOLDER", folder, MAX_PATH) == 0) GTEST_SKIP() << "child only";
    ::GetEnvironmentVariableW(L"MF_LOG_CHILD_TAG", tag, 16);
    ProcessState state;
    ScopedProcessState use(state);
    state.workFolder.Set(folder);
    const std::wstring body(300, tag[0]);
    for (int i = 0; i < 200; ++i) WriteLog(body);
}

wchar_t* OwnPath() {
    static wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

TEST_F(LogTest, TwoProcessesNeverInterleaveWithinALine) {
    WriteIni(EngineIni().Set(L"Mirefold", L"Log", L"shared.log"));
    ::SetEnvironmentVariableW(L"MF_LOG_CHILD_FOLDER", (folder().path() + L"\\").c_str());
    std::vector<test::ChildProcess> children;
    for (const wchar_t* tag : {L"A", L"B"}) {
        ::SetEnvironmentVariableW(L"MF_LOG_CHILD_TAG", tag);
        children.push_back(test::ChildProcess::Start(
            std::wstring(L"\"") + OwnPath() +
            L"\" --gtest_also_run_disabled_tests --gtest_filter=LogChild.DISABLED_WriteLines"));
    }
    ::SetEnvironmentVariableW(L"MF_LOG_CHILD_FOLDER", nullptr);
    for (auto& child : children) {
        ASSERT_TRUE(child.Wait(std::chrono::seconds(60)));
        EXPECT_EQ(child.ExitCode(), 0u);
    }
    std::istringstream text(test::ReadFileBytes(folder() / L"shared.log"));
    const std::regex line(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\](A{300}|B{300})\r)");
    int lines = 0;
    for (std::string l; std::getline(text, l); ++lines) ASSERT_TRUE(std::regex_match(l, line)) << "line " << lines;
    EXPECT_EQ(lines, 400);
}

// Run only as a child process by the test below: takes the log lock, says
// so, and never leaves it.
TEST(LogChild, DISABLED_HoldTheLogLock) {
    if (::GetEnvironmentVariableW(L"MF_LOG_CHILD_HOLD", nullptr, 0) == 0) GTEST_SKIP() << "child only";
    NamedLockTable table;
    table.Enter(lock_id::kLog);
    UniqueHandle held(::CreateEventW(nullptr, TRUE, FALSE, L"MirefoldTestLogLockHeld"));
    ::SetEvent(held.get());
    ::Sleep(INFINITE);
}

// An engine killed while it writes a line must not hang every later engine
// at its first log line.
TEST_F(LogTest, AWriterKilledWhileHoldingTheLockDoesNotStopTheOthers) {
    WriteIni(EngineIni().Set(L"Mirefold", L"Log", L"after.log"));
    // This engine already has the lock open, so the lock outlives the child.
    WriteLog(L"before");
    UniqueHandle held(::CreateEventW(nullptr, TRUE, FALSE, L"MirefoldTestLogLockHeld"));
    ::SetEnvironmentVariableW(L"MF_LOG_CHILD_HOLD", L"1");
    test::ChildProcess child = test::ChildProcess::Start(
        std::wstring(L"\"") + OwnPath() +
        L"\" --gtest_also_run_disabled_tests --gtest_filter=LogChild.DISABLED_HoldTheLogLock");
    ::SetEnvironmentVariableW(L"MF_LOG_CHILD_HOLD", nullptr);
    ASSERT_EQ(::WaitForSingleObject(held.get(), 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    child.Kill();
    ASSERT_TRUE(child.Wait(std::chrono::seconds(10)));

    ProcessState* engine = &state();
    auto write = std::async(std::launch::async, [engine] {
        ScopedProcessState use(*engine);
        WriteLog(L"first after the kill");
        WriteLog(L"second after the kill");
    });
    ASSERT_EQ(write.wait_for(std::chrono::seconds(40)), std::future_status::ready) << "the log lock stayed shut";
    const std::string log = test::ReadFileBytes(folder() / L"after.log");
    EXPECT_NE(log.find("]first after the kill\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("]second after the kill\r\n"), std::string::npos) << log;
}

}  // namespace
}  // namespace mf
