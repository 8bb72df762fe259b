#include "support/recorded_program.h"

#include <algorithm>

#include "base/strings.h"

namespace mf::test {

using namespace std::chrono_literals;

namespace {

constexpr std::wstring_view kWindowWord = L"window ";

// The complete lines of the record: a line still being written (no line
// break yet) is left for the next read.
std::vector<std::wstring> CompleteLines(const std::wstring& record) {
    std::vector<std::wstring> lines = Split(Widen(ReadFileBytes(record), CodePage::Utf8), L'\n');
    if (!lines.empty()) lines.pop_back();  // empty after a final break, else unfinished
    return lines;
}

}  // namespace

RecordedProgram::RecordedProgram(const std::wstring& exePath, const std::wstring& arguments,
                                 std::chrono::milliseconds windowTimeout)
    : record_(folder_ / L"record.txt") {
    process_ = ChildProcess::Start(L"\"" + exePath + L"\" --record \"" + record_ + L"\" " + arguments);
    if (!process_.started()) return;
    WaitUntil(
        [&] {
            for (const std::wstring& line : CompleteLines(record_)) {
                if (!StartsWith(line, kWindowWord)) continue;
                window_ = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(line.substr(kWindowWord.size()))));
                return true;
            }
            return !Running();
        },
        windowTimeout);
}

bool RecordedProgram::Running() const {
    return process_.started() && ::WaitForSingleObject(process_.handle(), 0) == WAIT_TIMEOUT;
}

void RecordedProgram::Kill() {
    if (!Running()) return;
    process_.Kill();
    process_.Wait(10s);
}

std::vector<std::wstring> RecordedProgram::LinesAfterWindow() const {
    std::vector<std::wstring> lines = CompleteLines(record_);
    const auto window = std::find_if(lines.begin(), lines.end(),
                                     [](const std::wstring& line) { return StartsWith(line, kWindowWord); });
    if (window == lines.end()) return {};
    return std::vector<std::wstring>(window + 1, lines.end());
}

}  // namespace mf::test
