// The sample host (mirefold-testhost.exe) started for a test: its window and
// the messages it recorded.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/recording_program.h"

namespace mf::test {

class TestHost {
public:
    // Starts the host with the given extra arguments and waits for its window.
    explicit TestHost(const std::wstring& arguments = L"");
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    [[nodiscard]] HWND window() const { return program_.window(); }
    // Every recorded line after the "window" line, UTF-8 decoded.
    [[nodiscard]] std::vector<std::wstring> Lines() const;
    // Only the lines that start with the given word.
    [[nodiscard]] std::vector<std::wstring> Lines(const std::wstring& word) const;
    // The statuses received, by their protocol names followed by the count
    // the message carried ("UpdateCheckRemoteOk 4").
    [[nodiscard]] std::vector<std::wstring> Statuses() const;
    // The same names without the counts.
    [[nodiscard]] std::vector<std::wstring> StatusNames() const;
    [[nodiscard]] int Property(const wchar_t* name) const;
    // Closes the window and waits for the program to end.
    bool Close();
    // Ends the program at once (a host that hangs does not close).
    void Kill();

private:
    RecordingProgram program_;
};

}  // namespace mf::test
