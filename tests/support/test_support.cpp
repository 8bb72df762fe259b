#include "support/test_support.h"

#include <windows.h>

#include <algorithm>
#include <tlhelp32.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "base/dynamic_export.h"
#include "base/files.h"
#include "base/strings.h"
#include "engine/paths.h"

namespace mf::test {

TempFolder::TempFolder() {
    wchar_t base[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    for (;;) {
        path_ = std::wstring(base) + L"mftest-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(::InterlockedIncrement(&counter));
        if (::CreateDirectoryW(path_.c_str(), nullptr)) break;
    }
}

TempFolder::~TempFolder() { RemoveTree(path_); }

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    if (const std::size_t slash = path.find_last_of(L"\\/"); slash != std::wstring::npos && slash > 0)
        CreateFolderTree(path.substr(0, slash));
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::wstring BuildPath(const std::wstring& relative) { return std::wstring(MF_BUILD_DIR_WIN) + L"\\" + relative; }
std::wstring SourcePath(const std::wstring& relative) { return std::wstring(MF_SOURCE_DIR_WIN) + L"\\" + relative; }

ChildProcess::~ChildProcess() {
    if (process_ != nullptr) {
        if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) ::TerminateProcess(process_, 1);
        ::CloseHandle(process_);
    }
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : process_(other.process_), id_(other.id_) {
    other.process_ = nullptr;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        this->~ChildProcess();
        process_ = other.process_;
        id_ = other.id_;
        other.process_ = nullptr;
    }
    return *this;
}

ChildProcess ChildProcess::Start(const std::wstring& commandLine, const std::wstring& folder) {
    ChildProcess child;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring line = commandLine;
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        ::CloseHandle(info.hThread);
        child.process_ = info.hProcess;
        child.id_ = info.dwProcessId;
    }
    return child;
}

bool ChildProcess::Wait(std::chrono::milliseconds timeout) {
    return process_ != nullptr && ::WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const {
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    return code;
}

void ChildProcess::Kill() {
    if (process_ != nullptr) ::TerminateProcess(process_, 1);
}

long long RunAndWait(const std::wstring& commandLine, std::chrono::milliseconds timeout) {
    ChildProcess child = ChildProcess::Start(commandLine);
    if (!child.started() || !child.Wait(timeout)) return -1;
    return child.ExitCode();
}

namespace {

bool SomeProcessRunsFrom(const std::wstring& exePath) {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found; more = ::Process32NextW(snapshot, &entry)) {
        const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (process == nullptr) continue;
        wchar_t image[MAX_PATH * 2] = {};
        DWORD length = MAX_PATH * 2;
        if (::QueryFullProcessImageNameW(process, 0, image, &length) &&
            ::CompareStringOrdinal(image, static_cast<int>(length), exePath.c_str(), static_cast<int>(exePath.size()),
                                   TRUE) == CSTR_EQUAL) {
            DWORD code = 0;
            found = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
        }
        ::CloseHandle(process);
    }
    ::CloseHandle(snapshot);
    return found;
}

}  // namespace

bool WaitForProgramToEnd(const std::wstring& exePath, std::chrono::milliseconds timeout) {
    return WaitUntil([&] { return !SomeProcessRunsFrom(exePath); }, timeout, std::chrono::milliseconds(100));
}

bool WaitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (predicate()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(step);
    }
}

bool RunningUnderWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::wstring UnixPathOf(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = GetExport<ToUnix>(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    if (toUnix == nullptr) return {};
    char* unixPath = toUnix(path.c_str());
    if (unixPath == nullptr) return {};
    std::wstring result = Widen(unixPath, CodePage::Utf8);
    ::HeapFree(::GetProcessHeap(), 0, unixPath);
    return result;
}

std::vector<std::wstring> NamesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data{};
    const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

bool MakeLink(const std::wstring& target, const std::wstring& link, bool folder) {
    if (RunningUnderWine()) {
        // Wine starts a Unix program given by its path like any other.
        const std::wstring from = UnixPathOf(target);
        const std::wstring to = UnixPathOf(link);
        if (from.empty() || to.empty()) return false;
        std::wstring line = L"Z:\\bin\\ln -s \"" + from + L"\" \"" + to + L"\"";
        // Wine gives no process handle for a Unix program: the link itself
        // tells when ln has run.
        (void)ChildProcess::Start(line);
        return WaitUntil([&] { return ::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; },
                         std::chrono::seconds(20));
    } else if (folder) {
        if (RunAndWait(L"cmd.exe /c mklink /J \"" + link + L"\" \"" + target + L"\"", std::chrono::seconds(20)) != 0)
            return false;
    } else if (!::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
        return false;
    }
    return ::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

struct DialogSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !::IsWindowVisible(window)) return TRUE;
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    if (std::wstring(className) != L"#32770") return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK CollectStatic(HWND window, LPARAM param) {
    auto* text = reinterpret_cast<std::wstring*>(param);
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    if (std::wstring(className) == L"Static") {
        wchar_t buffer[4096] = {};
        ::GetWindowTextW(window, buffer, 4096);
        if (buffer[0] != 0) {
            if (!text->empty()) *text += L"\n";
            *text += buffer;
        }
    }
    return TRUE;
}

}  // namespace

HWND FindMessageBox(DWORD processId) {
    DialogSearch search{processId, nullptr};
    ::EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring AnswerMessageBox(DWORD processId, int buttonId, std::chrono::milliseconds timeout) {
    DialogSearch search{processId, nullptr};
    const bool found = WaitUntil(
        [&] {
            search.found = nullptr;
            ::EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeout, std::chrono::milliseconds(100));
    if (!found) return {};
    std::wstring text;
    ::EnumChildWindows(search.found, CollectStatic, reinterpret_cast<LPARAM>(&text));
    // A press that arrives while the box is still being set up can be lost
    // on a loaded machine: press again until the box is gone.
    for (int attempt = 0; attempt < 20 && ::IsWindow(search.found); ++attempt) {
        HWND button = ::GetDlgItem(search.found, buttonId);
        ::PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        WaitUntil([&] { return !::IsWindow(search.found); }, std::chrono::milliseconds(1000));
    }
    return text;
}

}  // namespace mf::test
