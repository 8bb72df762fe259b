// The stand-in main program (mirefold-testmain.exe) started for a test:
// its process, its window and what it recorded.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/recorded_program.h"

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
    // Copies it to `path`: the program under another name or in another
    // folder.
    [[nodiscard]] static bool CopyTo(const std::wstring& path);

    [[nodiscard]] bool ready() const { return program_.window() != nullptr; }
    [[nodiscard]] DWORD id() const { return program_.id(); }
    [[nodiscard]] HWND window() const { return program_.window(); }
    [[nodiscard]] bool Running() const { return program_.Running(); }
    bool WaitForExit(std::chrono::milliseconds timeout) { return program_.Wait(timeout); }
    void Kill() { program_.Kill(); }

    // The recorded lines after start-up ("window ..." and before).
    [[nodiscard]] std::vector<std::wstring> Events() const { return program_.LinesAfterWindow(); }
    [[nodiscard]] bool Received(const std::wstring& line) const;

private:
    RecordedProgram program_;
};

}  // namespace mf::test
