#include "engine/elevation.h"

#include <windows.h>
#include <shellapi.h>

#include "base/handles.h"
#include "base/run_program.h"
#include "engine/command_line.h"
#include "engine/message_box.h"
#include "engine/process_state.h"
#include "engine/status.h"

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
    const std::wstring parameters = ElevatedParameters(state.run.commandLine);
    state.run.elevationRequested = true;

    if (!StartEngineAgain(parameters, L"runas", SW_SHOWNORMAL)) WriteLog(L"Cannot start the engine as administrator");
}

bool StartEngineAgain(const std::wstring& parameters, const wchar_t* verb, int show) {
    ShellStart start(ExecutablePath(), parameters, Process().workFolder.Get());
    start.verb = verb;
    start.show = show;
    return StartThroughShell(start);
}

void LoadSavedUpdateListForElevatedRun() {
    ProcessState& state = Process();
    const std::wstring file = state.paths.SavedListFile();
    if (!FileExists(file)) return;
    if (!state.updateList.LoadFromFile(file)) {
        // Part of a list would install part of an update and report it
        // done: the elevated instance checks again instead.
        WriteLog(L"The saved update list is damaged: " + file);
        state.updateList.SetSize(0);
    }
    if (state.updateList.GetSize() > 0) SetStatus(UpdateStatus::DownloadOk);
    DeleteFileForce(file);
}

void SaveUpdateListForElevatedRun(const std::wstring& path) {
    if (!Process().updateList.SaveToFile(path)) WriteLog(L"The update list could not be saved: " + path);
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
