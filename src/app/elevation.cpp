#include "app/elevation.h"

#include <windows.h>
#include <shellapi.h>

#include "app/command_line.h"
#include "app/flows.h"
#include "app/message_box.h"
#include "app/process_state.h"
#include "base/handles.h"

namespace mf {

std::wstring ElevatedParameters(const std::wstring& storedCommandLine) {
    if (storedCommandLine.empty()) return std::wstring(L"/") + kElevationMarker;
    return storedCommandLine + L" /" + kElevationMarker;
}

void RelaunchElevated(bool saveList) {
    ProcessState& state = Process();
    const std::wstring savedList = state.paths.SavedListFile();
    DeleteFileForce(savedList);
    if (saveList) SaveUpdateListForElevatedRun(savedList);
    const std::wstring parameters = ElevatedParameters(state.variables.Get(L"commandline"));
    state.variables.Set(L"runasadmin", kElevationMarker);

    const std::wstring self = ExecutablePath();
    const std::wstring folder = state.workFolder.Get();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"runas";
    info.lpFile = self.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (::ShellExecuteExW(&info)) UniqueHandle process(info.hProcess);
}

void PromptElevationForConfig(const std::wstring& iniPath) {
    const std::wstring text = TranslateFormat(
        L"Can't write to file\n%s\nRequest run as administrator.\nRestart program now?", iniPath);
    if (ShowMessage(Process().mainWindow, text, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    RelaunchElevated(false);
    HWND main = Process().mainWindow;
    if (main != nullptr) {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored);
        ::PostMessageW(main, WM_CLOSE, 0, 0);
    }
    ::PostQuitMessage(0);
}

}  // namespace mf
