// mirefold-testmain: plays a product's main program for the tests and the
// demo. See Usage() for the options.
//
// It opens a window, holds the files it is given open, answers the
// system's "may the session end?" question the way it is told, and appends
// one UTF-8 line per event to the record file:
//   started <process id>
//   holding <path>                 a file held open (or: hold failed <error> <path>)
//   window <handle>                the window is up (decimal handle); the last start-up line
//   queryendsession yes|no|hang    WM_QUERYENDSESSION and the answer given
//   endsession <wParam>            WM_ENDSESSION
//   close | close ignored          WM_CLOSE
//   quit | quit ignored            WM_QUIT
//   exit                           the program ends
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "record_file.h"

namespace {

const wchar_t kUsage[] =
    L"usage: mirefold-testmain [options]\n"
    L"  --record FILE         append what happens to FILE (UTF-8, one line per event)\n"
    L"  --hold FILE           hold FILE open for reading and writing without sharing\n"
    L"                        (created when missing; may be given more than once)\n"
    L"  --hold-movable FILE   hold FILE open the way a running program's own file is held:\n"
    L"                        others may read, rename and delete it, but not write it\n"
    L"  --query-end ANSWER    answer WM_QUERYENDSESSION with yes (default), no, or hang\n"
    L"                        (never return: the window stops answering for a minute)\n"
    L"  --ignore-close        do not close the window on WM_CLOSE\n"
    L"  --ignore-quit         keep running after a WM_QUIT\n"
    L"  --hidden              keep the window hidden (the program then has no main window)\n"
    L"  --title TEXT          window title (default \"Mirefold test main program\")\n"
    L"  --help                show this text\n"
    L"The window handle is printed in decimal on standard output once the window is up.\n";

enum class QueryAnswer { Yes, No, Hang };

struct Options {
    std::wstring record;
    std::vector<std::wstring> hold;
    std::vector<std::wstring> holdMovable;
    QueryAnswer answer = QueryAnswer::Yes;
    bool ignoreClose = false;
    bool ignoreQuit = false;
    bool hidden = false;
    std::wstring title = L"Mirefold test main program";
};

Options g_options;

void Record(const std::wstring& line) {
    mf::tools::AppendRecordLine(g_options.record, line);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_QUERYENDSESSION:
            switch (g_options.answer) {
                case QueryAnswer::Yes: Record(L"queryendsession yes"); return TRUE;
                case QueryAnswer::No: Record(L"queryendsession no"); return FALSE;
                case QueryAnswer::Hang:
                    Record(L"queryendsession hang");
                    ::Sleep(60000);
                    return FALSE;
            }
            return FALSE;
        case WM_ENDSESSION:
            Record(L"endsession " + std::to_wstring(wParam));
            return 0;
        case WM_CLOSE:
            if (g_options.ignoreClose) {
                Record(L"close ignored");
                return 0;
            }
            Record(L"close");
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

// Handles stay open until the process ends.
void HoldFile(const std::wstring& path, DWORD share) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Record(L"hold failed " + std::to_wstring(::GetLastError()) + L" " + path);
        return;
    }
    Record(L"holding " + path);
}

// 0 when the options are sound, else the exit code.
int ReadOptions(Options& options) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    int result = 0;
    for (int i = 1; argv != nullptr && i < argc && result == 0; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") result = 1;
        else if (arg == L"--record" && hasValue) options.record = argv[++i];
        else if (arg == L"--hold" && hasValue) options.hold.push_back(argv[++i]);
        else if (arg == L"--hold-movable" && hasValue) options.holdMovable.push_back(argv[++i]);
        else if (arg == L"--title" && hasValue) options.title = argv[++i];
        else if (arg == L"--ignore-close") options.ignoreClose = true;
        else if (arg == L"--ignore-quit") options.ignoreQuit = true;
        else if (arg == L"--hidden") options.hidden = true;
        else if (arg == L"--query-end" && hasValue) {
            const std::wstring answer = argv[++i];
            if (answer == L"yes") options.answer = QueryAnswer::Yes;
            else if (answer == L"no") options.answer = QueryAnswer::No;
            else if (answer == L"hang") options.answer = QueryAnswer::Hang;
            else result = 2;
        } else {
            result = 2;
        }
    }
    ::LocalFree(argv);
    return result;
}

// A GUI program has no console of its own: without an output handle from
// the caller, the text goes to the caller's console, when there is one.
void Print(const wchar_t* text) {
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if ((output == nullptr || output == INVALID_HANDLE_VALUE) && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::FILE* out = nullptr;
        if (_wfreopen_s(&out, L"CONOUT$", L"w", stdout) != 0) out = nullptr;
    }
    std::fputws(text, stdout);
    std::fflush(stdout);
}

}  // namespace

int wmain() {
    const int optionsResult = ReadOptions(g_options);
    if (optionsResult != 0) {
        Print(kUsage);
        return optionsResult == 1 ? 0 : 2;
    }
    Record(L"started " + std::to_wstring(::GetCurrentProcessId()));
    for (const std::wstring& path : g_options.hold) HoldFile(path, 0);
    for (const std::wstring& path : g_options.holdMovable) HoldFile(path, FILE_SHARE_READ | FILE_SHARE_DELETE);

    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"MirefoldTestMain";
    if (::RegisterClassW(&windowClass) == 0) return 1;
    HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, g_options.title.c_str(), WS_OVERLAPPEDWINDOW,
                                    CW_USEDEFAULT, CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    if (!g_options.hidden) ::ShowWindow(window, SW_SHOWNORMAL);

    const auto handle = static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window));
    Record(L"window " + std::to_wstring(handle));
    Print((std::to_wstring(handle) + L"\n").c_str());

    MSG message;
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            if (!g_options.ignoreQuit) {
                Record(L"quit");
                break;
            }
            Record(L"quit ignored");
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    Record(L"exit");
    return 0;
}
