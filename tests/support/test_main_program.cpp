#include "support/test_main_program.h"

#include <algorithm>

#include "base/strings.h"

namespace mf::test {

using namespace std::chrono_literals;

namespace {

std::vector<std::wstring> RecordedLines(const std::wstring& record) {
    std::vector<std::wstring> lines = Split(Widen(ReadFileBytes(record), CodePage::Utf8), L'\n');
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

}  // namespace

std::wstring TestMainProgram::BuildExe() { return BuildPath(L"bin\\mirefold-testmain.exe"); }

TestMainProgram::TestMainProgram(const std::wstring& arguments, const std::wstring& exePath)
    : record_(folder_ / L"record.txt") {
    const std::wstring exe = exePath.empty() ? BuildExe() : exePath;
    process_ = ChildProcess::Start(L"\"" + exe + L"\" --record \"" + record_ + L"\" " + arguments);
    if (!process_.started()) return;
    WaitUntil(
        [&] {
            for (const std::wstring& line : RecordedLines(record_)) {
                if (!StartsWith(line, L"window ")) continue;
                window_ = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(line.substr(7))));
                return true;
            }
            return !Running();
        },
        30s);
}

TestMainProgram::~TestMainProgram() { Kill(); }

bool TestMainProgram::Running() const {
    return process_.started() && ::WaitForSingleObject(process_.handle(), 0) == WAIT_TIMEOUT;
}

void TestMainProgram::Kill() {
    if (!Running()) return;
    process_.Kill();
    process_.Wait(10s);
}

std::vector<std::wstring> TestMainProgram::Events() const {
    std::vector<std::wstring> lines = RecordedLines(record_);
    const auto window = std::find_if(lines.begin(), lines.end(), [](const std::wstring& line) {
        return StartsWith(line, L"window ");
    });
    if (window == lines.end()) return {};
    return std::vector<std::wstring>(window + 1, lines.end());
}

bool TestMainProgram::Received(const std::wstring& line) const {
    const std::vector<std::wstring> events = Events();
    return std::find(events.begin(), events.end(), line) != events.end();
}

}  // namespace mf::test
