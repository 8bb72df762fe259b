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
        {L"bank.db", L"--hold", false},
        {L"bank.db", L"--hold-movable", false},
        {L"core.dll", L"--hold", false},
        {L"core.dll", L"--hold-movable", true},
        {L"Tool.EXE", L"--hold-movable", true},
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
    ASSERT_TRUE(::CopyFileW(TestMainProgram::BuildExe().c_str(), exe.c_str(), FALSE));
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

}  // namespace
}  // namespace mf
