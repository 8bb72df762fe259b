#include "base/run_program.h"

#include <shellapi.h>

#include "base/handles.h"

namespace mf {

bool RunProgram(const std::wstring& path, const std::wstring& parameters, bool wait, int show) {
    return RunProgramIn(path, parameters, L"", wait, show);
}

bool RunProgramIn(const std::wstring& path, const std::wstring& parameters, const std::wstring& folder, bool wait,
                  int show) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = show;
    if (!::ShellExecuteExW(&info)) return false;
    UniqueHandle process(info.hProcess);
    if (wait && process) ::WaitForSingleObject(process.get(), INFINITE);
    return true;
}

}  // namespace mf
