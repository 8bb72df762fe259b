#include "support/test_main_program.h"

#include <algorithm>

namespace mf::test {

using namespace std::chrono_literals;

std::wstring TestMainProgram::BuildExe() { return BuildPath(L"bin\\mirefold-testmain.exe"); }

bool TestMainProgram::CopyTo(const std::wstring& path) {
    return ::CopyFileW(BuildExe().c_str(), path.c_str(), FALSE) != FALSE;
}

TestMainProgram::TestMainProgram(const std::wstring& arguments, const std::wstring& exePath)
    : program_(exePath.empty() ? BuildExe() : exePath, arguments, 30s) {}

TestMainProgram::~TestMainProgram() { Kill(); }

bool TestMainProgram::Received(const std::wstring& line) const {
    const std::vector<std::wstring> events = Events();
    return std::find(events.begin(), events.end(), line) != events.end();
}

}  // namespace mf::test
