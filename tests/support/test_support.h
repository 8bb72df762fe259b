// Helpers shared by the test programs.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace mf::test {

// A new empty folder under the prefix's temporary folder, removed with the
// object.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    [[nodiscard]] const std::wstring& path() const { return path_; }
    [[nodiscard]] std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

std::string ReadFileBytes(const std::wstring& path);
// Creates the folders above the file as needed.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// The names in a folder (no "." or ".."), sorted; empty when it cannot be
// listed.
std::vector<std::wstring> NamesIn(const std::wstring& folder);

// The build tree's programs, as Windows paths.
std::wstring BuildPath(const std::wstring& relative);
std::wstring SourcePath(const std::wstring& relative);

// A started process; killed with the object unless it has ended.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `commandLine` (the program path first, quoted as needed).
    static ChildProcess Start(const std::wstring& commandLine, const std::wstring& folder = L"");
    [[nodiscard]] bool started() const { return process_ != nullptr; }
    [[nodiscard]] DWORD id() const { return id_; }
    [[nodiscard]] HANDLE handle() const { return process_; }
    // Waits for the exit; false on time-out.
    bool Wait(std::chrono::milliseconds timeout);
    [[nodiscard]] DWORD ExitCode() const;
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// Runs a program to its end and returns its exit code (or -1 when it did
// not start or end in time).
long long RunAndWait(const std::wstring& commandLine, std::chrono::milliseconds timeout = std::chrono::seconds(60));

// Waits until no process runs from the program file `exePath` (children an
// engine started with its own path included); false on time-out.
bool WaitForProgramToEnd(const std::wstring& exePath, std::chrono::milliseconds timeout);

// A visible message box (dialog class "#32770") of the process, or null.
HWND FindMessageBox(DWORD processId);

// Answers a message box the way a person would: waits for a dialog of the
// given process, reads its text, and presses the button with the given id
// (IDYES, IDNO, IDOK, ...). Returns the text, or empty on time-out.
std::wstring AnswerMessageBox(DWORD processId, int buttonId,
                              std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Whether the tests run under Wine.
bool RunningUnderWine();

// The Linux path of a Windows path, through Wine's own export; empty when
// not running under Wine.
std::wstring UnixPathOf(const std::wstring& path);

// Makes `link` a link to `target`, the way somebody who can write to a
// folder would: under Wine a Unix symbolic link (made by ln), on Windows a
// junction for a folder and a symbolic link for a file. False when the
// platform would not make one.
bool MakeLink(const std::wstring& target, const std::wstring& link, bool folder);

// Polls until the predicate holds; false on time-out.
bool WaitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step = std::chrono::milliseconds(50));

}  // namespace mf::test
