// A modal box waits for somebody to answer it: runs that a script or a host
// starts have nobody, and must end on their own. Every message is logged.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "base/strings.h"
#include "engine/message_box.h"
#include "support/engine_fixture.h"

namespace mf {
namespace {

using namespace std::chrono_literals;

// A window of this process: shown, as the engine's own windows are, or a
// message-only one that stands for a host's window. (A top-level window of
// a thread that pumps no messages would hold up Wine's desktop, and with it
// every other test that makes a window.)
class OwnWindow {
public:
    explicit OwnWindow(bool visible) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ::DefWindowProcW;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"MirefoldMessageBoxTestWindow";
        ::RegisterClassW(&windowClass);
        window_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"own", visible ? WS_OVERLAPPEDWINDOW : 0, 0, 0, 200,
                                    100, visible ? nullptr : HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
        if (visible) ::ShowWindow(window_, SW_SHOWNOACTIVATE);
    }
    ~OwnWindow() { ::DestroyWindow(window_); }
    OwnWindow(const OwnWindow&) = delete;
    OwnWindow& operator=(const OwnWindow&) = delete;
    [[nodiscard]] HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

class MessageBoxes : public test::EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        WriteIni(test::EngineIni().Set(L"Mirefold", L"Log", L"run.log").Set(L"APPLICATION", L"Name", L"Boxes"));
    }
    std::string Log() const { return test::ReadFileBytes(folder() / L"run.log"); }

    // Shows the box on a thread of its own, owned by a visible window of
    // that thread when asked. Returns the answer and whether a box appeared
    // (it is then answered with `press`).
    std::pair<int, bool> Show(bool ownWindowOnScreen, UINT flags, int unattendedAnswer, int press) {
        std::atomic<int> answer{-1};
        ProcessState* state = &this->state();
        std::thread shower([&] {
            ScopedProcessState use(*state);
            std::optional<OwnWindow> owner;
            if (ownWindowOnScreen) owner.emplace(true);
            answer = ShowMessage(owner ? owner->get() : nullptr, L"The proxy set error!", flags, unattendedAnswer);
        });
        // An unattended call returns at once; a box is answered as soon as
        // it shows.
        bool shown = false;
        if (!test::WaitUntil([&] { return answer != -1; }, 500ms)) {
            shown = !test::AnswerMessageBox(::GetCurrentProcessId(), press, 10s).empty();
        }
        shower.join();
        return {answer.load(), shown};
    }
};

TEST_F(MessageBoxes, UnattendedRunsOnlyLog) {
    OwnWindow host(false);  // stands for a host application's window
    struct Case {
        const wchar_t* mode;
        bool hostWindow;
        bool ownWindowOnScreen;  // the box's owner: one of the engine's windows
        bool expectShown;
    } cases[] = {
        {L"", false, false, true},
        {L"mostsimple", false, false, true},
        {L"appenter", false, false, true},
        {L"silence", false, false, false},
        {L"checkforupdates", false, false, false},
        {L"downparam0", false, false, false},
        {L"downparam1", false, false, false},
        {L"emptytemp", false, false, false},
        {L"uninstall", false, false, false},
        {L"appenter", true, false, false},         // a host drives the run, no window of ours
        {L"appenter", true, true, true},           // ... but our window is on screen
        {L"checkforupdates", true, true, false},   // a script mode stays quiet anyway
    };
    for (const Case& c : cases) {
        state().run.SetMode(RunModeOf(c.mode));
        state().run.hostWindow = c.hostWindow ? host.get() : nullptr;
        const auto [answer, appeared] = Show(c.ownWindowOnScreen, MB_OK | MB_ICONERROR, 0, IDOK);
        EXPECT_EQ(appeared, c.expectShown) << Narrow(c.mode) << " host " << c.hostWindow;
        EXPECT_EQ(answer, IDOK) << Narrow(c.mode);
    }
    // Shown or not, every one of them is in the log.
    const std::string log = Log();
    std::size_t count = 0;
    for (std::size_t at = log.find("The proxy set error!"); at != std::string::npos;
         at = log.find("The proxy set error!", at + 1))
        ++count;
    EXPECT_EQ(count, std::size(cases)) << log;
    EXPECT_NE(log.find("The proxy set error! [not shown: nobody to answer in this run]"), std::string::npos) << log;
}

TEST_F(MessageBoxes, UnattendedQuestionsTakeTheAnswerTheCallerNamed) {
    state().run.SetMode(RunMode::Silence);
    struct Case {
        UINT flags;
        int named;
        int expected;
    } cases[] = {
        {MB_YESNO, 0, IDNO},  {MB_YESNOCANCEL, 0, IDCANCEL}, {MB_OKCANCEL, 0, IDCANCEL},
        {MB_OK, 0, IDOK},     {MB_YESNO, IDYES, IDYES},       {MB_RETRYCANCEL, 0, IDCANCEL},
    };
    for (const Case& c : cases) {
        const auto [answer, appeared] = Show(false, c.flags | MB_ICONQUESTION, c.named, IDYES);
        EXPECT_FALSE(appeared);
        EXPECT_EQ(answer, c.expected) << c.flags;
    }
}

}  // namespace
}  // namespace mf
