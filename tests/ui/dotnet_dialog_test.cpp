// The .NET Framework download dialog with a real download: a slow server
// (the fault server, a few kilobytes a second per connection) keeps the
// download under way while the dialog is closed.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>
#include <thread>

#include "support/engine_fixture.h"
#include "support/test_servers.h"
#include "support/test_support.h"
#include "support/window_driver.h"
#include "ui/dotnet_dialog.h"

namespace mf::ui {
namespace {

using namespace std::chrono_literals;

// The log lines of the engine, as they are written.
struct LogLines {
    std::mutex lock;
    std::vector<std::wstring> lines;
    bool Has(const std::wstring& text) {
        std::lock_guard<std::mutex> hold(lock);
        for (const std::wstring& line : lines)
            if (line.find(text) != std::wstring::npos) return true;
        return false;
    }
};

TEST(DotNetDialog, ADownloadUnderWayEndsWithTheDialog) {
    const std::wstring server = test::ServerUrl(L"faultserver");
    if (server.empty()) GTEST_SKIP() << "the fault server is not running";
    test::FreshEngine engine;
    ASSERT_TRUE(engine.WriteIni("[APPLICATION]\r\nName=Dotnet test\r\n"));
    LogLines log;
    engine.state().log.SetForwarder([&](const std::wstring& line) {
        std::lock_guard<std::mutex> hold(log.lock);
        log.lines.push_back(line);
    });
    // Minutes at this rate: the download is still under way when the
    // dialog closes.
    const std::wstring address = server + L"dotnetfx20.exe?size=8000000&rate=20000";
    CDlgDownDotnet dialog(address, L"2.0");

    bool started = false;
    std::thread driver([&] {
        const HWND window = test::WaitForDialogWithControl(::GetCurrentProcessId(), IDOK, 20s);
        if (window == nullptr) return;
        started = test::PressButton(window, IDOK) && test::WaitForControlEnabled(window, IDOK, false, 10s);
        ::Sleep(1500);
        ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    const auto opened = std::chrono::steady_clock::now();
    EXPECT_EQ(dialog.Run(nullptr), IDCANCEL);
    driver.join();
    ASSERT_TRUE(started) << "the download never started";
    // The download thread has ended (its last line is written) when the
    // dialog returns, and did not run to the end of the file.
    EXPECT_TRUE(log.Has(L"Download failed: " + address));
    EXPECT_LT(std::chrono::steady_clock::now() - opened, 30s);
    engine.state().log.SetForwarder(nullptr);
}

}  // namespace
}  // namespace mf::ui
