// The stand-in main program (mirefold-testmain.exe) started for a test:
// its process, its window and what it recorded.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace mf::test {

class TestMainProgram {
public:
    // Starts the program at `exePath` (the build's by default) with the
    // arguments and waits until its window is up.
    explicit TestMainProgram(const std::wstring& arguments = L"", const std::wstring& exePath = L"");
    ~TestMainProgram();
    TestMainProgram(const TestMainProgram&) = delete;
    TestMainProgram& operator=(const TestMainProgram&) = delete;

    // The build's mirefold-testmain.exe.
    static std::wstring BuildExe();

    [[nodiscard]] bool ready() const { return window_ != nullptr; }
    [[nodiscard]] DWORD id() const { return process_.id(); }
    [[nodiscard]] HWND window() const { return window_; }
    [[nodiscard]] bool Running() const;
    bool WaitForExit(std::chrono::milliseconds timeout) { return process_.Wait(timeout); }
    void Kill();

    // The recorded lines after start-up ("window ..." and before).
    [[nodiscard]] std::vector<std::wstring> Events() const;
    [[nodiscard]] bool Received(const std::wstring& line) const;

private:
    TempFolder folder_;
    std::wstring record_;
    ChildProcess process_;
    HWND window_ = nullptr;
};

}  // namespace mf::test
