#include "apply/close_program.h"

#include "base/handles.h"
#include "base/strings.h"
#include "engine/process_list.h"
#include "engine/process_state.h"
#include "engine/window_iterator.h"

namespace mf {

namespace {

// True when the window agreed to end its session. A window that refuses,
// does not answer within the time-out, or belongs to a hung thread gives 0.
bool AgreesToEndSession(HWND window) {
    DWORD_PTR answer = 0;
    const LRESULT sent = ::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG,
                                               kQueryEndSessionTimeoutMs, &answer);
    return sent != 0 && answer != 0;
}

void EndProcess(const RunningProgram& program) {
    UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, program.processId));
    if (!process) return;
    if (::WaitForSingleObject(process.get(), kProgramExitWaitMs) != WAIT_TIMEOUT) return;
    ::TerminateProcess(process.get(), 0);
    WriteLog(L"Terminated " + program.modulePath + L": it did not end after agreeing to close");
}

void CloseWindowsOf(const RunningProgram& program) {
    const HWND ownMainWindow = Process().mainWindow;
    for (HWND window : MainWindowsOf(program.processId)) {
        if (!::IsWindow(window)) continue;  // gone with an earlier window of its process
        if (::GetParent(window) != nullptr || window == ownMainWindow) continue;
        if (!AgreesToEndSession(window)) continue;
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        ::PostMessageW(window, WM_QUIT, 0, 0);
        EndProcess(program);
    }
}

}  // namespace

bool ModulePathNames(const std::wstring& modulePath, const std::wstring& program) {
    const std::wstring text = ToLower(Trim(program));
    return !text.empty() && Contains(ToLower(modulePath), text);
}

std::vector<RunningProgram> FindRunningPrograms(const std::wstring& program) {
    std::vector<RunningProgram> found;
    if (Trim(program).empty()) return found;
    const DWORD self = ::GetCurrentProcessId();
    for (DWORD id : EnumerateProcessIds()) {
        // The engine is never the program it closes: its own path may well
        // hold a short program name.
        if (id == self) continue;
        std::wstring path = MainModulePath(id);
        if (path.empty() || !ModulePathNames(path, program)) continue;
        found.push_back(RunningProgram{id, std::move(path)});
    }
    return found;
}

void CloseProgramByPath(const std::wstring& path) {
    for (const RunningProgram& program : FindRunningPrograms(path)) CloseWindowsOf(program);
}

}  // namespace mf
