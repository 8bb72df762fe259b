// A test program of the build that records what happens to it (the sample
// host of tools/testhost, the stand-in main program of tools/testmain):
// started with "--record FILE", its window awaited from the "window
// <handle>" line, and the UTF-8 lines it appended read back.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace mf::test {

class RecordedProgram {
public:
    // Starts `exePath` with "--record FILE" and the arguments, and waits
    // until it recorded its window (or ended, or the time ran out).
    RecordedProgram(const std::wstring& exePath, const std::wstring& arguments,
                    std::chrono::milliseconds windowTimeout);
    RecordedProgram(const RecordedProgram&) = delete;
    RecordedProgram& operator=(const RecordedProgram&) = delete;

    [[nodiscard]] HWND window() const { return window_; }
    [[nodiscard]] bool started() const { return process_.started(); }
    [[nodiscard]] DWORD id() const { return process_.id(); }
    [[nodiscard]] bool Running() const;
    bool Wait(std::chrono::milliseconds timeout) { return process_.Wait(timeout); }
    // Ends the program at once and waits for it.
    void Kill();

    // The complete lines recorded after the "window" line, UTF-8 decoded;
    // empty while there is no window line.
    [[nodiscard]] std::vector<std::wstring> LinesAfterWindow() const;

private:
    TempFolder folder_;
    std::wstring record_;
    ChildProcess process_;
    HWND window_ = nullptr;
};

}  // namespace mf::test
