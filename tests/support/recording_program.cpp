#include "support/recording_program.h"

#include <algorithm>
#include <chrono>

#include "base/strings.h"

namespace mf::test {

RecordingProgram::RecordingProgram(const std::wstring& exePath, const std::wstring& arguments)
    : record_(folder_ / L"record.txt") {
    process_ = ChildProcess::Start(L"\"" + exePath + L"\" --record \"" + record_ + L"\" " + arguments);
    if (!process_.started()) return;
    WaitUntil(
        [&] {
            for (const std::wstring& line : RecordedLines()) {
                if (!StartsWith(line, L"window ")) continue;
                window_ = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(line.substr(7))));
                return true;
            }
            return !Running();
        },
        std::chrono::seconds(30));
}

bool RecordingProgram::Running() const {
    return process_.started() && ::WaitForSingleObject(process_.handle(), 0) == WAIT_TIMEOUT;
}

std::vector<std::wstring> RecordingProgram::RecordedLines() const {
    std::vector<std::wstring> lines = Split(Widen(ReadFileBytes(record_), CodePage::Utf8), L'\n');
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

std::vector<std::wstring> RecordingProgram::Events() const {
    const std::vector<std::wstring> lines = RecordedLines();
    const auto window =
        std::find_if(lines.begin(), lines.end(), [](const std::wstring& line) { return StartsWith(line, L"window "); });
    if (window == lines.end()) return {};
    return std::vector<std::wstring>(window + 1, lines.end());
}

}  // namespace mf::test
