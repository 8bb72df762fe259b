#include "apply/run_file.h"

#include <shellapi.h>

#include <utility>

#include "apply/install_rules.h"
#include "apply/task_document.h"
#include "apply/task_rules.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/path_text.h"
#include "engine/process_state.h"

namespace mf {

namespace {

// "Without a practical limit": the longest wait that is not INFINITE.
constexpr DWORD kProgramWaitMs = 0x7FFFFFFF;

}  // namespace

void ShowAndLogWith(HWND owner, LPARAM value, const std::wstring& text) {
    if (owner != nullptr) Process().notifications.SendStatusText(owner, text, value);
    WriteLog(text);
}

bool StartProgram(const std::wstring& path, const std::wstring& parameters, const std::wstring& folder, bool wait) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = path.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info)) return false;
    const UniqueHandle process(info.hProcess);
    if (wait && process) ::WaitForSingleObject(process.get(), kProgramWaitMs);
    return true;
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
