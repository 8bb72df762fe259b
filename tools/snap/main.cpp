// mirefold-snap: pictures of the launcher window and the update center of a
// running engine, for the demo and the README.
//
//   mirefold-snap DURING.bmp AFTER.bmp [TIMEOUT_SECONDS]
//   mirefold-snap --update-center PICTURE.bmp [TIMEOUT_SECONDS]
//
// The second form waits for a visible update center pop-up whose countdown
// runs (a check found files), lets the countdown run a little, rests the
// mouse on its "Update" link and saves what the screen shows of the pop-up.
//
// Waits for a visible launcher window (any process), then saves what the
// screen shows of it twice: DURING once its loading bar has moved past 15 %
// (the update is under way), AFTER when the bar is full (the update has
// ended; the computer variant closes its window moments later). Exit code 0
// when both pictures were saved, 1 otherwise.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "gui/capture.h"
#include "ui/resource_ids.h"

namespace {

HWND FindLauncher() {
    HWND window = ::FindWindowW(L"MirefoldLauncher", nullptr);
    return window != nullptr && ::IsWindowVisible(window) ? window : nullptr;
}

// The loading bar's position, or -1 when the window does not answer.
long BarPosition(HWND launcher) {
    HWND bar = ::GetDlgItem(::GetDlgItem(launcher, IDC_LAUNCHER_HOST), IDC_LAUNCHER_PROGRESS);
    DWORD_PTR position = 0;
    if (bar == nullptr || !::SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position)) return -1;
    return static_cast<long>(position);
}

bool Save(HWND launcher, const wchar_t* path) {
    const mf::gui::Pixels pixels = mf::gui::CaptureFromScreen(launcher);
    const bool saved = !pixels.empty() && mf::gui::SaveBmp(pixels, path);
    std::wprintf(saved ? L"saved %ls (%dx%d)\n" : L"could not save %ls\n", path, pixels.width, pixels.height);
    return saved;
}

std::wstring ControlText(HWND dialog, int id) {
    wchar_t text[256] = {};
    DWORD_PTR got = 0;
    ::SendMessageTimeoutW(::GetDlgItem(dialog, id), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                          1000, &got);
    return text;
}

int SnapUpdateCenter(const wchar_t* path, DWORD timeout) {
    const DWORD start = ::GetTickCount();
    HWND center = nullptr;
    while (::GetTickCount() - start < timeout) {
        center = ::FindWindowW(L"#32770", L"Update Center");
        if (center != nullptr && ::IsWindowVisible(center) && !ControlText(center, IDC_CENTER_COUNTDOWN).empty()) break;
        center = nullptr;
        ::Sleep(50);
    }
    if (center == nullptr) return 1;
    // The countdown under way: the first ten seconds after the check take
    // nothing off.
    const std::wstring first = ControlText(center, IDC_CENTER_COUNTDOWN);
    while (::GetTickCount() - start < timeout && ControlText(center, IDC_CENTER_COUNTDOWN) == first) ::Sleep(50);
    ::Sleep(1500);
    RECT link{};
    ::GetWindowRect(::GetDlgItem(center, IDC_CENTER_UPDATE), &link);
    POINT at{(link.left + link.right) / 2, (link.top + link.bottom) / 2};
    ::SetCursorPos(at.x, at.y);
    ::ScreenToClient(center, &at);
    ::SendMessageTimeoutW(center, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y), SMTO_ABORTIFHUNG, 1000, nullptr);
    ::Sleep(300);
    return Save(center, path) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wcscmp(argv[1], L"--update-center") == 0)
        return SnapUpdateCenter(argv[2],
                                (argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 120) * 1000);
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: mirefold-snap DURING.bmp AFTER.bmp [TIMEOUT_SECONDS]\n"
                              L"       mirefold-snap --update-center PICTURE.bmp [TIMEOUT_SECONDS]\n");
        return 2;
    }
    const DWORD timeout = (argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 120) * 1000;
    const DWORD start = ::GetTickCount();
    auto timeLeft = [&] { return ::GetTickCount() - start < timeout; };

    HWND launcher = nullptr;
    while (timeLeft() && (launcher = FindLauncher()) == nullptr) ::Sleep(50);
    if (launcher == nullptr) return 1;
    bool during = false;
    while (timeLeft() && ::IsWindow(launcher)) {
        const long position = BarPosition(launcher);
        if (!during && position >= 150 && position < 1000) {
            ::Sleep(200);  // one frame of the picture further
            during = Save(launcher, argv[1]);
        }
        if (position >= 1000) return Save(launcher, argv[2]) && during ? 0 : 1;
        ::Sleep(20);
    }
    return 1;
}
