// mirefold-testhost: a sample host application for mirefold.exe.
//
//   mirefold-testhost --record FILE [--no-needmsg] [--paused] [--exit-when-killed] [--block-info]
//                     [--stall-on-status MS]
//
// Creates a (hidden) window, sets "mirefold.needmsg" to 1974 on it unless
// told not to (and "mirefold.paused" / "mirefold.exitwhenwndkilled" when
// asked), prints the window handle in decimal on standard output, and
// appends one UTF-8 line per message it receives to FILE. Texts are read
// from this process's own memory, where the engine wrote them. The first
// line is "window <handle>"; then, per message:
//   status <code> <file count>          1974
//   text <line>                          1975 ("text (null)" without a block)
//   filecount <done> <total>             1976
//   description <text>                   1977
//   bytes <size> <received>              1978
//   statustext <lParam> <text>           1034
// With --block-info every text block is followed by a line
//   block <page protection in hex> <region size>
// describing the memory the engine wrote the text into.
// With --stall-on-status the host stops answering for MS milliseconds in
// its handler of the first status message (after recording it), as a host
// that hangs does.
// A line break inside a text is written as the two characters \r and \n.
// The program ends when its window is closed (WM_CLOSE).
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "base/messages.h"
#include "host/host_protocol.h"
#include "record_file.h"

namespace {

std::wstring g_recordPath;
bool g_blockInfo = false;
DWORD g_stallMs = 0;

// Records a line, a line break inside it as the two characters \r or \n.
void Record(const std::wstring& line) {
    std::wstring escaped;
    for (wchar_t c : line) {
        if (c == L'\r') escaped += L"\\r";
        else if (c == L'\n') escaped += L"\\n";
        else escaped += c;
    }
    mf::tools::AppendRecordLine(g_recordPath, escaped);
}

// Reads a NUL-terminated text of at most `maxUnits` units at an address of
// this process, without trusting the address.
std::wstring ReadOwnText(WPARAM address, std::size_t maxUnits, bool& terminated) {
    terminated = false;
    if (address == 0) return L"(null)";
    std::wstring text;
    const auto* at = reinterpret_cast<const wchar_t*>(address);
    for (std::size_t i = 0; i < maxUnits; ++i) {
        wchar_t c = 0;
        SIZE_T read = 0;
        if (!::ReadProcessMemory(::GetCurrentProcess(), at + i, &c, sizeof c, &read) || read != sizeof c) break;
        if (c == L'\0') {
            terminated = true;
            break;
        }
        text += c;
    }
    return text;
}

std::wstring BlockText(WPARAM address) {
    bool terminated = false;
    std::wstring text = ReadOwnText(address, mf::host::kTextBlockUnits, terminated);
    if (address != 0 && !terminated) text += L" [no terminator in the block]";
    return text;
}

void RecordBlockInfo(WPARAM address) {
    if (!g_blockInfo || address == 0) return;
    MEMORY_BASIC_INFORMATION info{};
    if (::VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof info) == 0) return;
    wchar_t line[64];
    std::swprintf(line, 64, L"block %lx %lu", static_cast<unsigned long>(info.Protect),
                  static_cast<unsigned long>(info.RegionSize));
    Record(line);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    namespace msg = mf::msg;
    switch (message) {
        case msg::kStatus:
            Record(L"status " + std::to_wstring(wParam) + L" " + std::to_wstring(lParam));
            if (g_stallMs != 0) ::Sleep(std::exchange(g_stallMs, 0));
            return 0;
        case msg::kTextLine:
            Record(L"text " + BlockText(wParam));
            RecordBlockInfo(wParam);
            return 0;
        case msg::kFileCount:
            Record(L"filecount " + std::to_wstring(wParam) + L" " + std::to_wstring(lParam));
            return 0;
        case msg::kDescription: {
            bool terminated = false;
            Record(L"description " + ReadOwnText(wParam, 1 << 20, terminated));
            RecordBlockInfo(wParam);
            return 0;
        }
        case msg::kByteProgress:
            Record(L"bytes " + std::to_wstring(wParam) + L" " + std::to_wstring(lParam));
            return 0;
        case msg::kStatusText:
            Record(L"statustext " + std::to_wstring(lParam) + L" " + BlockText(wParam));
            RecordBlockInfo(wParam);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

void SetOn(HWND window, const wchar_t* property) {
    ::SetPropW(window, property, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(mf::host::kOn)));
}

}  // namespace

int wmain() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    bool needMessages = true;
    bool paused = false;
    bool exitWhenKilled = false;
    for (int i = 1; argv != nullptr && i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--record" && i + 1 < argc) g_recordPath = argv[++i];
        else if (arg == L"--no-needmsg") needMessages = false;
        else if (arg == L"--paused") paused = true;
        else if (arg == L"--exit-when-killed") exitWhenKilled = true;
        else if (arg == L"--block-info") g_blockInfo = true;
        else if (arg == L"--stall-on-status" && i + 1 < argc)
            g_stallMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        else {
            std::fwprintf(stderr, L"unknown argument: %ls\n", arg.c_str());
            return 2;
        }
    }
    ::LocalFree(argv);
    if (g_recordPath.empty()) {
        std::fwprintf(stderr, L"usage: mirefold-testhost --record FILE [--no-needmsg] [--paused] [--exit-when-killed] "
                              L"[--block-info] [--stall-on-status MS]\n");
        return 2;
    }

    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"MirefoldTestHost";
    if (::RegisterClassW(&windowClass) == 0) return 1;
    HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"Mirefold test host", WS_OVERLAPPEDWINDOW,
                                    CW_USEDEFAULT, CW_USEDEFAULT, 400, 300, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    if (needMessages) SetOn(window, mf::host::kNeedMessagesProperty);
    if (paused) SetOn(window, mf::host::kPausedProperty);
    if (exitWhenKilled) SetOn(window, mf::host::kExitWhenKilledProperty);

    const auto handle = static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window));
    // The properties are in place before anybody learns the handle.
    Record(L"window " + std::to_wstring(handle));
    std::wprintf(L"%llu\n", handle);
    std::fflush(stdout);

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
