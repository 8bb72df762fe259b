#include "support/test_host.h"

#include <chrono>

#include "base/strings.h"

namespace mf::test {

using namespace std::chrono_literals;

TestHost::TestHost(const std::wstring& arguments) : record_(folder_ / L"record.txt") {
    process_ = ChildProcess::Start(L"\"" + BuildPath(L"bin\\mirefold-testhost.exe") + L"\" --record \"" + record_ +
                                   L"\" " + arguments);
    WaitUntil(
        [&] {
            const std::string bytes = ReadFileBytes(record_);
            const std::size_t end = bytes.find('\n');
            if (bytes.rfind("window ", 0) != 0 || end == std::string::npos) return false;
            window_ = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(bytes.substr(7, end - 7))));
            return true;
        },
        20s);
}

TestHost::~TestHost() { Close(); }

std::vector<std::wstring> TestHost::Lines() const {
    std::vector<std::wstring> lines = Split(Widen(ReadFileBytes(record_), CodePage::Utf8), L'\n');
    if (!lines.empty()) lines.erase(lines.begin());  // "window ..."
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

std::vector<std::wstring> TestHost::Lines(const std::wstring& word) const {
    std::vector<std::wstring> selected;
    for (const std::wstring& line : Lines())
        if (StartsWith(line, word + L" ")) selected.push_back(line);
    return selected;
}

int TestHost::Property(const wchar_t* name) const {
    return static_cast<int>(reinterpret_cast<INT_PTR>(::GetPropW(window_, name)));
}

void TestHost::Kill() {
    process_.Kill();
    process_.Wait(10s);
}

bool TestHost::Close() {
    if (!process_.started()) return true;
    if (window_ != nullptr) ::PostMessageW(window_, WM_CLOSE, 0, 0);
    return process_.Wait(10s);
}

}  // namespace mf::test
