#include "base/run_program.h"

#include <shellapi.h>

#include "base/handles.h"

namespace mf {

bool StartThroughShell(const ShellStart& start) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = start.verb;
    info.lpFile = start.path.c_str();
    info.lpParameters = start.parameters.empty() ? nullptr : start.parameters.c_str();
    info.lpDirectory = start.folder.empty() ? nullptr : start.folder.c_str();
    info.nShow = start.show;
    if (!::ShellExecuteExW(&info)) return false;
    const UniqueHandle process(info.hProcess);
    if (start.wait && process) ::WaitForSingleObject(process.get(), INFINITE);
    return true;
}

bool RunProgram(const std::wstring& path, const std::wstring& parameters, bool wait) {
    return RunProgramIn(path, parameters, L"", wait);
}

bool RunProgramIn(const std::wstring& path, const std::wstring& parameters, const std::wstring& folder, bool wait) {
    return StartThroughShell(ShellStart(path, parameters, folder, wait));
}

}  // namespace mf
