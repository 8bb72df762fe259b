#include "apply/shortcut.h"

#include <objbase.h>
#include <shlobj.h>

#include "apply/install_rules.h"
#include "apply/run_file.h"
#include "apply/task_rules.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/path_text.h"
#include "base/strings.h"
#include "engine/process_state.h"

namespace mf {

namespace {

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool CreateShortcut(const std::wstring& target, const std::wstring& folder, const std::wstring& link,
                    const std::wstring& icon, int iconIndex) {
    const ComInit com;
    ComPtr<IShellLinkW> shellLink;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(shellLink.GetAddressOf()))))
        return false;
    if (!Exists(target)) return false;
    shellLink->SetPath(target.c_str());
    shellLink->SetWorkingDirectory(folder.c_str());
    if (!icon.empty() && FileExists(icon)) shellLink->SetIconLocation(icon.c_str(), iconIndex);

    const std::wstring file = LinkFileName(link);
    const std::wstring linkFolder = FolderOf(file);
    if (!linkFolder.empty()) CreateFolderTree(linkFolder);
    ComPtr<IPersistFile> persist;
    if (FAILED(shellLink.As(&persist))) return false;
    return SUCCEEDED(persist->Save(file.c_str(), TRUE));
}

namespace {

std::wstring RecordShortcutPath(const std::wstring& link) {
    return DesktopShortcutPath(link, [](const std::wstring& key) { return ReadConfig(L"APPLICATION", key); });
}

}  // namespace

std::wstring RecordShortcutFile(const std::wstring& link) { return LinkFileName(RecordShortcutPath(link)); }

void CreateRecordShortcuts(const std::wstring& target, const std::wstring& icon, const std::wstring& iconIndex,
                           const std::vector<std::wstring>& links, HWND owner) {
    for (const std::wstring& link : links) {
        const std::wstring path = RecordShortcutPath(link);
        ShowAndLogWith(owner, 0, TranslateFormat(L"Create shortcut[%s]...", path));
        CreateShortcut(target, FolderOf(target), path, icon, static_cast<int>(ParseLong(iconIndex)));
    }
}

}  // namespace mf
