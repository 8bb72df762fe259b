// Other programs in the way of the local check: files they hold open in the
// installation folder, and the product's main program, which is asked to
// close (the test main program plays both).
#include <gtest/gtest.h>

#include "apply/local_check.h"
#include "apply/local_check_support.h"
#include "base/files.h"
#include "base/strings.h"
#include "support/test_main_program.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::AnsweredRun;
using test::RunAnswering;
using test::TestMainProgram;

// Files held open by other programs.
class LockedFilesTest : public test::LocalCheckFixture {
protected:
    void SetUp() override {
        LocalCheckFixture::SetUp();
        WriteProductConfig(L"");
    }
    std::wstring MakeFile(const std::wstring& name) {
        const std::wstring path = InFolder(name);
        EXPECT_TRUE(test::WriteFileBytes(path, "old"));
        return path;
    }
};

// Files held open by another program, the way it holds them: a file held
// without sharing is locked whatever its name; a program file held the way
// a running program's own file is held can be moved aside, so it is not.
TEST_F(LockedFilesTest, HeldFilesByNameAndSharing) {
    struct Case {
        const wchar_t* name;
        const wchar_t* hold;
        bool writable;
    };
    const Case cases[] = {
        {L"bank.db", L"--hold", false},         {L"bank.db", L"--hold-movable", false}, {L"core.dll", L"--hold", false},
        {L"core.dll", L"--hold-movable", true}, {L"Tool.EXE", L"--hold-movable", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(std::wstring(c.name) + L" " + c.hold));
        const std::wstring path = MakeFile(c.name);
        {
            TestMainProgram holder(std::wstring(c.hold) + L" \"" + path + L"\"");
            ASSERT_TRUE(holder.ready());
            EXPECT_EQ(IsFileWritable(path), c.writable);
            EXPECT_TRUE(holder.Running());
        }
        EXPECT_EQ(test::ReadFileBytes(path), "old");
        EXPECT_FALSE(FileExists(path + L".__test"));
        EXPECT_FALSE(HasAdministratorFiles());
        EXPECT_TRUE(IsFileWritable(path));  // free again
    }
}

TEST_F(LockedFilesTest, ARunningProgramAmongTheTargetsIsNotLocked) {
    const std::wstring exe = InFolder(L"Runner.exe");
    ASSERT_TRUE(TestMainProgram::CopyTo(exe));
    TestMainProgram running(L"", exe);
    ASSERT_TRUE(running.ready());
    AddRecord(L"Runner.exe");
    ReadyForLocalCheck();
    EXPECT_TRUE(CheckLocalFiles(nullptr));
    EXPECT_EQ(Status(), UpdateStatus::CheckLocalOk);
    EXPECT_TRUE(FileExists(exe));
    EXPECT_FALSE(FileExists(exe + L".__test"));
    EXPECT_TRUE(running.Running());
}

TEST_F(LockedFilesTest, CancelLeavesTheFileLocked) {
    const std::wstring path = MakeFile(L"bank.db");
    TestMainProgram holder(L"--hold \"" + path + L"\"");
    ASSERT_TRUE(holder.ready());
    const AnsweredRun run = RunAnswering([&] { return EnsureFileWritable(path, true); }, {IDCANCEL});
    EXPECT_FALSE(run.result);
    ASSERT_EQ(run.questions.size(), 1u);
    EXPECT_EQ(run.questions[0].text, L"Can't overwrite the file,Please close it.\n" + path);
    EXPECT_EQ(run.questions[0].caption, L"Question Bank");
}

TEST_F(LockedFilesTest, RetryTestsAgainUntilTheFileIsFree) {
    const std::wstring path = MakeFile(L"bank.db");
    TestMainProgram holder(L"--hold \"" + path + L"\"");
    ASSERT_TRUE(holder.ready());
    // The first Retry finds it still held; the user closes the program
    // before the second.
    const AnsweredRun run = RunAnswering([&] { return EnsureFileWritable(path, true); }, {IDRETRY},
                                         [&](std::size_t index) {
                                             if (index == 1) holder.Kill();
                                         });
    EXPECT_TRUE(run.result);
    EXPECT_EQ(run.questions.size(), 2u);
}

TEST_F(LockedFilesTest, WithoutAskingALockedFileIsReportedAtOnce) {
    const std::wstring path = MakeFile(L"bank.db");
    TestMainProgram holder(L"--hold \"" + path + L"\"");
    ASSERT_TRUE(holder.ready());
    const AnsweredRun run = RunAnswering([&] { return EnsureFileWritable(path, false); }, {IDRETRY});
    EXPECT_FALSE(run.result);
    EXPECT_TRUE(run.questions.empty());
}

// The phase with the launcher window as owner: the user is asked about the
// locked target and cancels; the run ends with status 8.
TEST_F(LockedFilesTest, ALockedTargetTheUserDoesNotFreeEndsWithStatusEight) {
    const std::wstring held = MakeFile(L"bank.db");
    MakeFile(L"free.txt");
    AddRecord(L"free.txt");
    AddRecord(L"other.txt", L"bank.db,copy.txt");
    TestMainProgram holder(L"--hold \"" + held + L"\"");
    ASSERT_TRUE(holder.ready());
    ReadyForLocalCheck();
    test::RecordingWindow owner(test::RecordingWindow::Thread::This);
    const AnsweredRun run = RunAnswering([&] { return CheckLocalFiles(owner.window()); }, {IDCANCEL});
    EXPECT_FALSE(run.result);
    EXPECT_EQ(Status(), UpdateStatus::CheckLocalError);
    ASSERT_EQ(run.questions.size(), 1u);
    EXPECT_EQ(run.questions[0].text, L"Can't overwrite the file,Please close it.\n" + held);
    EXPECT_TRUE(Logged(L"Check locked file..."));
    EXPECT_TRUE(Logged(L"File is locked[" + held + L"]"));
    EXPECT_TRUE(Logged(L"2 update files has 1 locked"));
    EXPECT_TRUE(owner.Shown(L"Examining the 1 files,total of 2..."));
    EXPECT_TRUE(owner.Shown(L"Examining the 2 files,total of 2..."));
    EXPECT_TRUE(owner.Shown(L"2 update files has 1 locked"));
    EXPECT_FALSE(HasAdministratorFiles());
}

TEST_F(LockedFilesTest, TheLockedFileTextsAreTranslated) {
    state().language.LoadText(
        L"[MAIN]\nCan't overwrite the file,Please close it.=无法覆盖文件，请关闭它。\n"
        L"%d update files has %d locked=%d 个更新文件中有 %d 个被占用\nFile is locked=文件被占用\n");
    const std::wstring held = MakeFile(L"bank.db");
    AddRecord(L"bank.db");
    TestMainProgram holder(L"--hold \"" + held + L"\"");
    ASSERT_TRUE(holder.ready());
    ReadyForLocalCheck();
    test::RecordingWindow owner(test::RecordingWindow::Thread::This);
    const AnsweredRun run = RunAnswering([&] { return CheckLocalFiles(owner.window()); }, {IDCANCEL});
    ASSERT_EQ(run.questions.size(), 1u);
    EXPECT_EQ(run.questions[0].text, L"无法覆盖文件，请关闭它。\n" + held);
    EXPECT_TRUE(owner.Shown(L"1 个更新文件中有 1 个被占用"));
    EXPECT_TRUE(owner.Shown(L"文件被占用[" + held + L"]"));
}

// The product's main program is the test main program, copied into the
// installation folder under a name of this test process alone (any program
// of that name on the machine counts as the main program, and other tests
// may run at the same time).
class MainProgramTest : public test::LocalCheckFixture {
protected:
    void SetUp() override {
        LocalCheckFixture::SetUp();
        name_ = L"QBank" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
        mainProgram_ = InFolder(name_);
        ASSERT_TRUE(TestMainProgram::CopyTo(mainProgram_));
        WriteProductConfig(name_);
        AddRecord(L"data\\bank.db");
        ReadyForLocalCheck();
    }

    std::unique_ptr<TestMainProgram> StartMainProgram(const std::wstring& arguments = L"") {
        auto program = std::make_unique<TestMainProgram>(arguments, mainProgram_);
        EXPECT_TRUE(program->ready());
        return program;
    }

    // The local check as the launcher runs it, answering the question.
    AnsweredRun CheckAnswering(int answer, HWND owner = nullptr) {
        return RunAnswering([owner] { return CheckLocalFiles(owner); }, {answer});
    }

    static std::wstring Question() { return L"Find main program [Question Bank] not closed, Close it now?\n"; }

    std::wstring name_;
    std::wstring mainProgram_;
};

TEST_F(MainProgramTest, ARunningMainProgramIsClosedOnYesAndTheRunStillEndsWithStatusEight) {
    auto program = StartMainProgram();
    test::RecordingWindow owner(test::RecordingWindow::Thread::This);
    const AnsweredRun run = CheckAnswering(IDYES, owner.window());

    EXPECT_FALSE(run.result);
    EXPECT_EQ(Status(), UpdateStatus::CheckLocalError);
    ASSERT_EQ(run.questions.size(), 1u);
    EXPECT_EQ(run.questions[0].text, Question() + mainProgram_);
    EXPECT_EQ(run.questions[0].caption, L"Mirefold");
    EXPECT_TRUE(program->WaitForExit(10s));
    EXPECT_TRUE(program->Received(L"queryendsession yes"));
    EXPECT_TRUE(program->Received(L"close"));
    EXPECT_TRUE(Logged(L"The main program has not closed " + mainProgram_));
    EXPECT_TRUE(owner.Shown(L"The main program has not closed " + mainProgram_));

    // The next run finds it closed.
    ReadyForLocalCheck();
    const AnsweredRun next = CheckAnswering(IDNO);
    EXPECT_TRUE(next.result);
    EXPECT_TRUE(next.questions.empty());
    EXPECT_EQ(Status(), UpdateStatus::CheckLocalOk);
    EXPECT_TRUE(Logged(L"The main program has closed[" + name_ + L"]"));
}

TEST_F(MainProgramTest, NoLeavesItRunning) {
    auto program = StartMainProgram();
    const AnsweredRun run = CheckAnswering(IDNO);
    EXPECT_FALSE(run.result);
    ASSERT_EQ(run.questions.size(), 1u);
    EXPECT_TRUE(program->Running());
    EXPECT_TRUE(program->Events().empty());
}

TEST_F(MainProgramTest, TheMostSimpleSkinClosesItWithoutAsking) {
    state().run.skin = Skin::MostSimple;
    auto program = StartMainProgram();
    const AnsweredRun run = CheckAnswering(IDNO);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(Status(), UpdateStatus::CheckLocalError);
    EXPECT_TRUE(run.questions.empty());
    EXPECT_TRUE(program->WaitForExit(10s));
    EXPECT_TRUE(program->Received(L"queryendsession yes"));
}

// A window that refuses to end its session, or does not answer at all, is
// left alone, and a hung one does not hold up the phase.
TEST_F(MainProgramTest, AWindowThatRefusesOrHangsIsNotClosed) {
    for (const wchar_t* answer : {L"no", L"hang"}) {
        SCOPED_TRACE(Narrow(answer));
        auto program = StartMainProgram(std::wstring(L"--query-end ") + answer);
        ReadyForLocalCheck();
        const AnsweredRun run = CheckAnswering(IDYES);
        EXPECT_FALSE(run.result);
        EXPECT_EQ(run.questions.size(), 1u);
        ASSERT_TRUE(
            test::WaitUntil([&] { return program->Received(std::wstring(L"queryendsession ") + answer); }, 10s));
        // The hung window sleeps a minute; the phase did not wait for it.
        EXPECT_LT(run.took, 30s);
        EXPECT_TRUE(program->Running());
        EXPECT_FALSE(program->Received(L"close"));
    }
}

TEST_F(MainProgramTest, AProgramThatAgreesButDoesNotEndIsTerminatedAfterFiveSeconds) {
    auto program = StartMainProgram(L"--ignore-close --ignore-quit");
    const AnsweredRun run = CheckAnswering(IDYES);
    EXPECT_FALSE(run.result);
    EXPECT_TRUE(program->WaitForExit(1s));
    EXPECT_GE(run.took, 4500ms);
    EXPECT_TRUE(program->Received(L"close ignored"));
    EXPECT_TRUE(program->Received(L"quit ignored"));
    EXPECT_FALSE(program->Received(L"exit"));
}

// Any program whose path holds the configured name, in any letter case and
// any folder, counts as the main program.
TEST_F(MainProgramTest, AProgramOfTheSameNameElsewhereIsTheMainProgram) {
    WriteProductConfig(ToLower(name_.substr(0, name_.size() - 4)) + L".EXE");
    test::TempFolder elsewhere;
    const std::wstring other = elsewhere / name_;
    ASSERT_TRUE(TestMainProgram::CopyTo(other));
    TestMainProgram program(L"", other);
    ASSERT_TRUE(program.ready());
    EXPECT_FALSE(IsMainProgramClosed());
    EXPECT_TRUE(Logged(L"The main program has not closed " + other));
}

TEST_F(MainProgramTest, WithoutAnApplicationKeyNothingIsAskedOrClosed) {
    WriteProductConfig(L"");
    auto program = StartMainProgram();
    const AnsweredRun run = CheckAnswering(IDYES);
    EXPECT_TRUE(run.result);
    EXPECT_EQ(Status(), UpdateStatus::CheckLocalOk);
    EXPECT_TRUE(run.questions.empty());
    EXPECT_TRUE(program->Running());
    EXPECT_FALSE(Logged(L"The main program has"));
}

// Without a main program, a local list held open fails the check but asks
// nothing: the question would name no program, and closing the empty name
// would close every program on the machine.
TEST_F(MainProgramTest, ALockedListWithoutAMainProgramClosesNothing) {
    WriteProductConfig(L"");
    TestMainProgram holder(L"--hold \"" + InFolder(L"mirefold.xml") + L"\"");
    ASSERT_TRUE(holder.ready());
    auto bystander = StartMainProgram();
    const AnsweredRun run = CheckAnswering(IDYES);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(Status(), UpdateStatus::CheckLocalError);
    EXPECT_TRUE(run.questions.empty());
    EXPECT_TRUE(holder.Running());
    EXPECT_TRUE(bystander->Running());
    EXPECT_TRUE(holder.Events().empty());
    EXPECT_TRUE(bystander->Events().empty());
}

TEST_F(MainProgramTest, ALockedListAsksToCloseTheMainProgramEvenWhenItIsNotRunning) {
    TestMainProgram holder(L"--hold \"" + InFolder(L"{2767A2C0-0767-4958-ADA9-E813DF1BC478}.xml") + L"\"");
    ASSERT_TRUE(holder.ready());
    const AnsweredRun run = CheckAnswering(IDYES);
    EXPECT_FALSE(run.result);
    ASSERT_EQ(run.questions.size(), 1u);
    EXPECT_EQ(run.questions[0].text, Question() + mainProgram_);
    EXPECT_TRUE(holder.Running());
}

// The engine never takes itself for the program it closes. A copy of this
// test program under a name of its own plays the engine: it opens a window
// that would agree to end its session and closes the programs of its own
// path.
constexpr wchar_t kOwnCloseReport[] = L"MF_OWN_CLOSE_REPORT";
int g_queries = 0;

LRESULT CALLBACK CountingWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYENDSESSION) {
        ++g_queries;
        return TRUE;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

TEST(CloseProgramChild, DISABLED_LeavesItsOwnProcessAlone) {
    wchar_t report[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(kOwnCloseReport, report, MAX_PATH) == 0) GTEST_SKIP() << "child only";
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = CountingWindowProcedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"MirefoldTestOwnWindow";
    ::RegisterClassW(&windowClass);
    HWND own = ::CreateWindowExW(0, windowClass.lpszClassName, L"own", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                 nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(own, nullptr);
    const std::size_t found = FindRunningPrograms(ExecutablePath()).size();
    CloseProgramByPath(ExecutablePath());
    const std::string text = "found " + std::to_string(found) + "\nqueries " + std::to_string(g_queries) + "\nwindow " +
                             (::IsWindow(own) ? "1" : "0") + "\n";
    ASSERT_TRUE(test::WriteFileBytes(report, text));
    ::DestroyWindow(own);
}

TEST(CloseProgram, TheEngineLeavesItsOwnProcessAlone) {
    test::TempFolder folder;
    const std::wstring engine = folder / (L"Engine" + std::to_wstring(::GetCurrentProcessId()) + L".exe");
    const std::wstring report = folder / L"report.txt";
    ASSERT_TRUE(::CopyFileW(ExecutablePath().c_str(), engine.c_str(), FALSE));
    ::SetEnvironmentVariableW(kOwnCloseReport, report.c_str());
    test::ChildProcess child = test::ChildProcess::Start(
        L"\"" + engine +
        L"\" --gtest_also_run_disabled_tests --gtest_filter=CloseProgramChild.DISABLED_LeavesItsOwnProcessAlone");
    ::SetEnvironmentVariableW(kOwnCloseReport, nullptr);
    ASSERT_TRUE(child.Wait(60s));
    EXPECT_EQ(child.ExitCode(), 0u);
    EXPECT_EQ(test::ReadFileBytes(report), "found 0\nqueries 0\nwindow 1\n");
}

TEST(CloseProgram, AnEmptyNameNamesNoProgram) {
    TestMainProgram program;
    ASSERT_TRUE(program.ready());
    EXPECT_FALSE(ModulePathNames(L"C:\\app\\QBank.exe", L""));
    EXPECT_FALSE(ModulePathNames(L"C:\\app\\QBank.exe", L"  "));
    EXPECT_FALSE(ModulePathNames(L"", L"qbank.exe"));
    EXPECT_TRUE(ModulePathNames(L"C:\\APP\\QBank.exe", L" qbank.EXE "));
    EXPECT_TRUE(FindRunningPrograms(L"").empty());
    CloseProgramByPath(L"");
    EXPECT_TRUE(program.Running());
    EXPECT_TRUE(program.Events().empty());
}

TEST(CloseProgram, ClosesEveryWindowOfEveryProcessOfTheProgram) {
    test::TempFolder folder;
    const std::wstring exe = folder / L"Reader.exe";
    ASSERT_TRUE(TestMainProgram::CopyTo(exe));
    TestMainProgram first(L"", exe);
    TestMainProgram second(L"", exe);
    TestMainProgram bystander;
    ASSERT_TRUE(first.ready() && second.ready() && bystander.ready());
    EXPECT_EQ(FindRunningPrograms(exe).size(), 2u);
    CloseProgramByPath(ToLower(exe));
    EXPECT_TRUE(first.WaitForExit(10s));
    EXPECT_TRUE(second.WaitForExit(10s));
    EXPECT_TRUE(bystander.Running());
}

}  // namespace
}  // namespace mf
