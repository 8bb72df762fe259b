#include "apply/run_file.h"

#include <utility>

#include "apply/install_rules.h"
#include "apply/task_document.h"
#include "apply/task_rules.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/run_program.h"
#include "base/path_text.h"
#include "engine/process_state.h"

namespace mf {

void ShowAndLogWith(HWND owner, LPARAM value, const std::wstring& text) {
    if (owner != nullptr) Process().notifications.SendStatusText(owner, text, value);
    WriteLog(text);
}

bool StartProgram(const std::wstring& path, const std::wstring& parameters, const std::wstring& folder, bool wait) {
    // No verb: the file's own default, as a task's file may be a document.
    ShellStart start(path, parameters, folder, wait);
    start.verb = nullptr;
    return StartThroughShell(start);
}

bool RunFileIn(TaskContext& context, const std::wstring& file, const std::wstring& folder,
               const std::wstring& parameters, bool wait) {
    const std::wstring path = Process().paths.Resolve(file);
    if (IsTaskDocumentName(path)) {
        // The nested document gets its caller's wait flag; the rest of the
        // context goes down unchanged.
        const bool outerWait = std::exchange(context.wait, wait);
        const bool read = RunTaskDocumentIn(path, context);
        context.wait = outerWait;
        return read;
    }
    if (!FileExists(path)) return false;
    std::wstring line = Translate(L"Run file") + L"[" + LastComponent(path) + L"]";
    if (!parameters.empty()) line += L"[" + parameters + L"]";
    ShowAndLogWith(context.owner, context.value, line);
    return StartProgram(path, parameters, folder.empty() ? FolderOf(path) : folder, wait);
}

bool RunFile(const std::wstring& file, const std::wstring& folder, const std::wstring& parameters, HWND owner,
             LPARAM value, bool wait) {
    TaskContext context;
    context.owner = owner;
    context.value = value;
    context.wait = wait;
    return RunFileIn(context, file, folder, parameters, wait);
}

bool RunFile(const std::wstring& file, const std::wstring& parameters, bool wait) {
    return RunFile(file, L"", parameters, nullptr, 0, wait);
}

}  // namespace mf
