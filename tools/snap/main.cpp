// mirefold-snap: pictures of the launcher window of a running engine, for
// the demo and the README.
//
//   mirefold-snap DURING.bmp AFTER.bmp [TIMEOUT_SECONDS]
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: mirefold-snap DURING.bmp AFTER.bmp [TIMEOUT_SECONDS]\n");
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
