// A helper program of the build started for a test with "--record <file>":
// it writes "window <handle>" once its window is up, then a line for every
// event it sees. The sample host and the stand-in main program are two.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace mf::test {

class RecordingProgram {
public:
    // Starts `exePath` with the record file and the arguments, and waits
    // until its window is up (or it has ended).
    RecordingProgram(const std::wstring& exePath, const std::wstring& arguments);
    RecordingProgram(const RecordingProgram&) = delete;
    RecordingProgram& operator=(const RecordingProgram&) = delete;

    [[nodiscard]] HWND window() const { return window_; }
    [[nodiscard]] ChildProcess& process() { return process_; }
    [[nodiscard]] const ChildProcess& process() const { return process_; }
    [[nodiscard]] bool Running() const;
    // The recorded lines after the "window" line, UTF-8 decoded.
    [[nodiscard]] std::vector<std::wstring> Events() const;

private:
    [[nodiscard]] std::vector<std::wstring> RecordedLines() const;

    TempFolder folder_;
    std::wstring record_;
    ChildProcess process_;
    HWND window_ = nullptr;
};

}  // namespace mf::test
