#include <gtest/gtest.h>

#include <thread>

#include "base/messages.h"
#include "base/strings.h"
#include "engine/process_state.h"
#include "engine/status.h"
#include "engine/work_folder.h"
#include "host/host_protocol.h"
#include "support/engine_fixture.h"
#include "support/recording_window.h"
#include "support/test_host.h"

namespace mf {
namespace {

using Lines = std::vector<std::wstring>;

// The test program plays the engine: a fresh process state with an empty
// working folder (no configuration, so no status programs).
class Notifications : public test::EngineFixture {
protected:
    void AddFiles(int count) {
        for (int i = 0; i < count; ++i) {
            updatefileinfo record;
            record.path = L"f" + std::to_wstring(i) + L".dll";
            state().updateList.Add(record);
        }
    }
};

TEST_F(Notifications, HostWithoutNeedMsgGetsOnlyTextAndBytesButItsPropertiesChange) {
    test::TestHost host(L"--no-needmsg");
    ASSERT_NE(host.window(), nullptr);
    state().notifications.Register(host.window());
    AddFiles(2);

    SetStatus(UpdateStatus::CheckRemote);
    SetStatus(UpdateStatus::CheckRemoteOk);
    EXPECT_EQ(host.Property(host::kStatusProperty), 3);
    EXPECT_EQ(host.Property(host::kFileCountProperty), 2);
    state().notifications.SendTextLine(L"one line");
    state().notifications.SendFileCount(1, 2);
    state().notifications.SendDescription(L"about this update");
    state().notifications.SendByteProgress(1000, 250);
    SetStatus(UpdateStatus::End);

    EXPECT_EQ(host.Lines(), (Lines{L"text one line", L"bytes 1000 250"}));
    EXPECT_EQ(host.Property(host::kStatusProperty), 13);
    EXPECT_EQ(host.Property(host::kFileCountProperty), 2);
    EXPECT_EQ(state().updateList.Status(), UpdateStatus::End);
}

TEST_F(Notifications, HostThatAsksGetsTheStatusSequence) {
    test::TestHost host;
    state().notifications.Register(host.window());
    state().notifications.Register(host.window());  // once is enough

    SetStatus(UpdateStatus::None);
    SetStatus(UpdateStatus::CheckRemote);
    AddFiles(3);
    SetStatus(UpdateStatus::CheckRemoteOk);
    state().notifications.SendDescription(L"first\r\nsecond");
    SetStatus(UpdateStatus::Download);
    state().notifications.SendFileCount(1, 3);
    state().notifications.SendByteProgress(10, 10);
    SetStatus(UpdateStatus::DownloadOk);
    SetStatus(UpdateStatus::End);

    EXPECT_EQ(host.Lines(), (Lines{L"status 0 0", L"status 1 0", L"status 3 3", L"description first\\r\\nsecond",
                                  L"status 4 3", L"filecount 1 3", L"bytes 10 10", L"status 6 3", L"status 13 3"}));
}

TEST_F(Notifications, TextLineArrivesWithoutTheApplicationFolder) {
    test::TestHost host;
    state().notifications.Register(host.window());
    const std::wstring folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    // Through the log, as every step reports.
    WriteLog(L"Copy " + folder + L"bin\\a.dll to " + folder + L"b.dll");
    state().notifications.SetApplicationFolder(L"C:\\Program Files\\Mire\\");
    state().notifications.SendTextLine(L"Start C:\\Program Files\\Mire\\main.exe");
    EXPECT_EQ(host.Lines(), (Lines{L"text Copy bin\\a.dll to b.dll", L"text Start main.exe"}));
}

TEST_F(Notifications, LongTextIsCutInsideTheBlockAndTheBlockIsNotExecutable) {
    test::TestHost host(L"--block-info");
    state().notifications.Register(host.window());
    const std::wstring longText(3000, L'x');
    state().notifications.SendTextLine(longText);
    state().notifications.SendStatusText(host.window(), longText, 5);
    const Lines lines = host.Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], L"text " + std::wstring(1023, L'x'));
    EXPECT_EQ(lines[2], L"statustext 5 " + std::wstring(1023, L'x'));
    // PAGE_READWRITE (4), one page.
    EXPECT_EQ(lines[1], L"block 4 4096");
    EXPECT_EQ(lines[3], L"block 4 4096");
}

TEST(TextBlock, CutNeverSplitsASurrogatePair) {
    const std::wstring emoji = L"\U0001F600";
    const std::wstring text = std::wstring(1022, L'a') + emoji;  // pair at units 1022..1023
    const std::wstring block = TextBlockFor(text);
    ASSERT_EQ(block.size(), host::kTextBlockUnits);
    EXPECT_EQ(block.find(L'\0'), 1022u);
    EXPECT_EQ(TextBlockFor(L"short").substr(0, 6), std::wstring(L"short\0", 6));
}

TEST_F(Notifications, StatusTexts) {
    test::TestHost host;
    state().notifications.Register(host.window());
    state().notifications.SetHostWindow(host.window());
    const std::wstring work = state().workFolder.Get();
    state().notifications.SendStatusText(host.window(), L"Downloading {zip}{process}" + work + L"a.dll", 7);
    state().notifications.SendStatusText(L"Checking");
    EXPECT_EQ(host.Lines(), (Lines{L"statustext 7 Downloading a.dll", L"statustext 0 Checking"}));
}

// A window of this process that is not a notification window reads the text
// where the sender keeps it.
TEST_F(Notifications, StatusTextToAnOwnWindow) {
    test::RecordingWindow own;
    ASSERT_NE(own.window(), nullptr);
    state().notifications.SendStatusText(own.window(), L"Unpacking {zip}{process}x", 9);
    const auto texts = own.Messages(msg::kStatusText);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, L"Unpacking x");
    EXPECT_EQ(texts[0].lParam, 9);
}

TEST_F(Notifications, UnregisteredAndReleasedWindowsGetNothing) {
    test::TestHost host;
    state().notifications.Register(host.window());
    state().notifications.SendByteProgress(1, 0);
    state().notifications.Unregister(host.window());
    state().notifications.SendByteProgress(2, 0);
    state().notifications.Register(host.window());
    state().notifications.SendTextLine(L"again");
    state().notifications.ReleaseAll();
    state().notifications.SendTextLine(L"after release");
    SetStatus(UpdateStatus::CheckRemoteOk);
    EXPECT_EQ(host.Lines(), (Lines{L"bytes 1 0", L"text again"}));
    EXPECT_TRUE(state().notifications.Windows().empty());
}

TEST_F(Notifications, ClosedHostThatAskedForItEndsTheRun) {
    test::TestHost host(L"--exit-when-killed");
    state().notifications.Register(host.window());
    EXPECT_EQ(CheckHostWindow(host.window()), HostRunState::Continue);
    ASSERT_TRUE(host.Close());
    ASSERT_FALSE(::IsWindow(host.window()));
    // The window took its properties with it: the wish must have been seen
    // while it existed.
    EXPECT_EQ(::GetPropW(host.window(), host::kExitWhenKilledProperty), nullptr);
    EXPECT_EQ(CheckHostWindow(host.window()), HostRunState::Stop);
    EXPECT_FALSE(WaitForHostGoAhead(host.window()));
}

TEST_F(Notifications, ClosedHostThatDidNotAskLetsTheRunGoOn) {
    test::TestHost host;
    state().notifications.Register(host.window());
    ASSERT_TRUE(host.Close());
    EXPECT_EQ(CheckHostWindow(host.window()), HostRunState::Continue);
    EXPECT_TRUE(WaitForHostGoAhead(host.window()));
}

TEST_F(Notifications, PausedHostHoldsTheRunUntilItLetsGo) {
    test::TestHost host(L"--paused");
    state().notifications.Register(host.window());
    EXPECT_EQ(CheckHostWindow(host.window()), HostRunState::Paused);
    std::atomic<int> result{-1};
    std::thread waiter([&] { result = WaitForHostGoAhead(host.window()) ? 1 : 0; });
    ::Sleep(300);
    EXPECT_EQ(result.load(), -1);
    ::RemovePropW(host.window(), host::kPausedProperty);
    waiter.join();
    EXPECT_EQ(result.load(), 1);
}

TEST_F(Notifications, StatusNamesFollowTheProtocolNumbers) {
    const struct {
        int number;
        const wchar_t* name;
    } cases[] = {{0, L"UpdateNone"}, {3, L"UpdateCheckRemoteOk"}, {8, L"UpdateCheckLocalError"}, {13, L"UpdateEnd"}};
    for (const auto& c : cases) EXPECT_EQ(StatusName(StatusFromInt(c.number)), c.name) << c.number;
    EXPECT_EQ(ToInt(UpdateStatus::CopyOk), 12);
    // A stored number outside the table reads as no status at all.
    EXPECT_EQ(StatusFromInt(14), UpdateStatus::None);
    EXPECT_EQ(StatusFromInt(-1), UpdateStatus::None);
    EXPECT_EQ(StatusName(static_cast<UpdateStatus>(14)), L"");
}

TEST_F(Notifications, StatusStartsTheProgramsNamedForIt) {
    const std::wstring waitedTrace = folder() / L"waited.txt";
    const std::wstring startedTrace = folder() / L"started.txt";
    ASSERT_TRUE(test::WriteFileBytes(
        folder() / L"waited.bat",
        "@echo off\r\nping -n 2 127.0.0.1 >NUL\r\necho done> \"" + Narrow(waitedTrace) + "\"\r\n"));
    ASSERT_TRUE(test::WriteFileBytes(folder() / L"started.bat",
                                     "@echo off\r\necho done> \"" + Narrow(startedTrace) + "\"\r\n"));
    WriteIni(test::EngineIni()
                 .Set(L"UpdateEventWaitClose", L"UpdateCheckRemoteOk", InFolder(L"waited.bat"))
                 .Set(L"UpdateEvent", L"UpdateDownload", InFolder(L"started.bat")));
    SetStatus(UpdateStatus::CheckRemote);
    SetStatus(UpdateStatus::CheckRemoteOk);
    EXPECT_NE(::GetFileAttributesW(waitedTrace.c_str()), INVALID_FILE_ATTRIBUTES);  // waited for
    SetStatus(UpdateStatus::Download);
    EXPECT_TRUE(test::WaitUntil([&] { return ::GetFileAttributesW(startedTrace.c_str()) != INVALID_FILE_ATTRIBUTES; },
                                std::chrono::seconds(20)));
}

}  // namespace
}  // namespace mf
