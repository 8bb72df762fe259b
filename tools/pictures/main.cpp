// mirefold-pictures: opens each window of the engine with sample data under
// the X display and saves a BMP of it into the folder given, for the
// pictures of docs/ (tools/pictures/make-pictures.sh turns them into PNGs).
//
//   mirefold-pictures <output folder>
//
// The .NET download dialog before, during and after a download; the
// progress bar at a few positions; the frames of the loading picture.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "base/messages.h"
#include "engine/process_state.h"
#include "gui/animated_picture.h"
#include "gui/capture.h"
#include "gui/gdi.h"
#include "gui/progress_bar.h"
#include "ui/dotnet_dialog.h"
#include "ui/resource_ids.h"

namespace {

using namespace mf;

void Pump(DWORD milliseconds) {
    const DWORD end = ::GetTickCount() + milliseconds;
    while (static_cast<LONG>(end - ::GetTickCount()) > 0) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!::IsDialogMessageW(::GetActiveWindow(), &message)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
        ::Sleep(10);
    }
}

bool Save(const gui::Pixels& pixels, const std::wstring& folder, const wchar_t* name) {
    const bool saved = gui::SaveBmp(pixels, folder + L"\\" + name + L".bmp");
    std::fwprintf(saved ? stdout : stderr, L"%ls %ls\n", saved ? L"saved" : L"could not save", name);
    return saved;
}

// A top-level window as the screen shows it, caption and frame included.
bool SaveScreen(HWND window, const std::wstring& folder, const wchar_t* name) {
    ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Pump(300);
    return Save(gui::CaptureFromScreen(window), folder, name);
}

// The dialog, open without a modal loop of its own, driven by the
// downloader's messages for a 10 MiB file in blocks of 960 KiB.
class PictureDialog : public ui::CDlgDownDotnet {
public:
    using CDlgDownDotnet::CDlgDownDotnet;
    HWND Open() { return CreateModeless(IDD_DOTNET_DOWNLOAD, nullptr); }
};

WPARAM PartWord(int part) { return (static_cast<WPARAM>(part) << 16) | 0xFFFF; }

bool DotNetDialogPictures(const std::wstring& folder) {
    PictureDialog dialog(L"http://update.mirefold.net/dotnetfx/dotnetfx20.exe", L"2.0");
    const HWND window = dialog.Open();
    if (window == nullptr) return false;
    ::SetWindowPos(window, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    bool ok = SaveScreen(window, folder, L"dotnet-before");
    ::EnableWindow(::GetDlgItem(window, IDOK), FALSE);
    ::SendMessageW(window, msg::kFileSize, static_cast<WPARAM>(-1), 10485760);
    ::SendMessageW(window, msg::kBlockSize, static_cast<WPARAM>(-1), 983040);
    // Half the file: five blocks whole, four on their way.
    for (int part = 0; part < 5; ++part) ::SendMessageW(window, msg::kPartProgress, PartWord(part), 983040);
    const int partial[] = {700000, 420000, 150000, 60000};
    for (int i = 0; i < 4; ++i) ::SendMessageW(window, msg::kPartProgress, PartWord(5 + i), partial[i]);
    ok = SaveScreen(window, folder, L"dotnet-during") && ok;
    for (int part = 5; part < 10; ++part) ::SendMessageW(window, msg::kPartProgress, PartWord(part), 983040);
    ::SendMessageW(window, msg::kPartProgress, PartWord(10), 655360);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(msg::kDownloadDone, 0), 0);
    ok = SaveScreen(window, folder, L"dotnet-after") && ok;
    ::DestroyWindow(window);
    return ok;
}

class Holder : public gui::Window {
public:
    // On white, or on the launcher's slate where the bar's white must show.
    bool Open(int width, int height, bool slate = false) {
        const wchar_t* name = slate ? L"MirefoldPictureSlate" : L"MirefoldPictureHolder";
        brush_ = gui::SolidBrush(slate ? RGB(100, 100, 150) : RGB(255, 255, 255));
        gui::RegisterWindowClass(name, CS_HREDRAW | CS_VREDRAW, static_cast<HBRUSH>(brush_.get()));
        return Create(name, L"", WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW, RECT{40, 40, 40 + width, 40 + height},
                      nullptr);
    }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        return DefaultHandling(message, wParam, lParam);
    }

private:
    UniqueGdiObject brush_;
};

bool ProgressBarPictures(const std::wstring& folder) {
    // The launcher's bar: 200 x 5 pixels, range 1..1000, on a slate band.
    const int positions[] = {1, 250, 500, 1000};
    Holder holder;
    if (!holder.Open(240, 4 * 20 + 10, true)) return false;
    gui::CProgressCtrlEx bars[4];
    for (int i = 0; i < 4; ++i) {
        if (!bars[i].Create(holder.hwnd(), RECT{20, 10 + i * 20, 220, 15 + i * 20}, 175 + i)) return false;
        ::SendMessageW(bars[i].hwnd(), PBM_SETRANGE32, 1, 1000);
        ::SendMessageW(bars[i].hwnd(), PBM_SETPOS, positions[i], 0);
    }
    return SaveScreen(holder.hwnd(), folder, L"progress-bars");
}

bool AnimatedPicturePictures(const std::wstring& folder) {
    Holder holder;
    if (!holder.Open(394, 152)) return false;
    gui::CPictureEx picture;
    if (!picture.Create(holder.hwnd(), RECT{0, 0, 394, 152}, IDC_LAUNCHER_PICTURE)) return false;
    if (!picture.LoadResource(gui::ThisModule(), L"GIF", IDG_LOADING)) return false;
    bool ok = true;
    for (std::size_t i = 0; i < picture.FrameCount(); ++i) {
        picture.ShowFrame(i);
        ::UpdateWindow(picture.hwnd());
        const std::wstring name = L"loading-frame-" + std::to_wstring(i);
        ok = Save(gui::CaptureClient(picture.hwnd()), folder, name.c_str()) && ok;
    }
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: mirefold-pictures <output folder>\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    ::CreateDirectoryW(folder.c_str(), nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    ProcessState state;
    ScopedProcessState current(state);
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    state.workFolder.Set(std::wstring(temp) + L"mirefold-pictures\\");
    ::CreateDirectoryW(state.workFolder.Get().c_str(), nullptr);

    bool ok = DotNetDialogPictures(folder);
    ok = ProgressBarPictures(folder) && ok;
    ok = AnimatedPicturePictures(folder) && ok;
    return ok ? 0 : 1;
}
