#include "support/test_host.h"

#include <chrono>

#include "base/strings.h"
#include "base/update_status.h"

namespace mf::test {

using namespace std::chrono_literals;

TestHost::TestHost(const std::wstring& arguments)
    : program_(BuildPath(L"bin\\mirefold-testhost.exe"), arguments, 30s) {}

TestHost::~TestHost() { Close(); }

std::wstring TestHost::HandleArgument() const {
    return std::to_wstring(reinterpret_cast<UINT_PTR>(window()));
}

// The host records its window first: every later line is a message.
std::vector<std::wstring> TestHost::Lines() const {
    return program_.LinesAfterWindow();
}

std::vector<std::wstring> TestHost::Lines(const std::wstring& word) const {
    std::vector<std::wstring> selected;
    for (const std::wstring& line : Lines())
        if (StartsWith(line, word + L" ")) selected.push_back(line);
    return selected;
}

std::vector<std::wstring> TestHost::Statuses() const {
    std::vector<std::wstring> statuses;
    for (const std::wstring& line : Lines(L"status")) {
        // "status <code> <count>"
        const std::vector<std::wstring> parts = Split(line, L' ');
        const int code = parts.size() > 1 ? static_cast<int>(ParseLong(parts[1])) : -1;
        std::wstring name = StatusName(static_cast<UpdateStatus>(code));
        if (name.empty()) name = L"(status " + std::to_wstring(code) + L")";
        statuses.push_back(parts.size() > 2 ? name + L" " + parts[2] : name);
    }
    return statuses;
}

std::vector<std::wstring> TestHost::StatusNames() const {
    std::vector<std::wstring> names;
    for (const std::wstring& status : Statuses()) names.push_back(status.substr(0, status.find(L' ')));
    return names;
}

int TestHost::Property(const wchar_t* name) const {
    return static_cast<int>(reinterpret_cast<INT_PTR>(::GetPropW(window(), name)));
}

void TestHost::Kill() {
    program_.Kill();
}

bool TestHost::Close() {
    if (!program_.started()) return true;
    if (window() != nullptr) ::PostMessageW(window(), WM_CLOSE, 0, 0);
    return program_.Wait(10s);
}

}  // namespace mf::test
