#include "apply/uninstall.h"

#include <windows.h>

#include <vector>

#include "apply/local_check.h"
#include "apply/shortcut.h"
#include "base/files.h"
#include "base/path_text.h"
#include "base/strings.h"
#include "engine/installed_release.h"
#include "engine/process_state.h"
#include "engine/targets.h"

namespace mf {

namespace {

// The files that stay whatever the list says: the configuration and the
// running engine.
struct KeptFiles {
    std::wstring config;
    std::wstring engine;
    [[nodiscard]] bool Holds(const std::wstring& path) const {
        const std::wstring full = FullPath(path);
        return EqualsNoCase(full, config) || EqualsNoCase(full, engine);
    }
};

// A name that ends in a dot or a space reaches a file of that exact name
// only in the "\\?\" form: every other form drops those characters (and
// reaches the file an installation by that form made).
std::wstring ExactName(const std::wstring& path) {
    if (path.empty() || (path.back() != L'.' && path.back() != L' ')) return path;
    if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
    if (StartsWith(path, L"\\\\") && !StartsWith(path, L"\\\\?\\") && !StartsWith(path, L"\\\\.\\"))
        return L"\\\\?\\UNC\\" + path.substr(2);
    return path;
}

bool FileStays(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// False when the file is still there afterwards.
bool RemoveFileAndEmptiedFolders(const std::wstring& path, const std::wstring& installFolder, const KeptFiles& kept) {
    if (kept.Holds(path)) return true;
    const std::wstring exact = ExactName(path);
    DeleteFileForce(path);
    if (exact != path) DeleteFileForce(exact);
    const bool left = FileStays(path) || FileStays(exact);
    RemoveEmptiedFolders(path, installFolder);
    return !left;
}

}  // namespace

void RemoveEmptiedFolders(const std::wstring& path, const std::wstring& installFolder) {
    std::wstring current = FullPath(path);
    while (current.size() >= 4 && IsInside(current, installFolder)) {
        ::RemoveDirectoryW(current.c_str());
        const std::wstring parent = ParentOf(current);
        if (parent == current) break;
        current = parent;
    }
}

UninstallOutcome Uninstall(const UpdateListReader& readList, const ElevatedRelaunch& relaunch) {
    ProcessState& state = Process();
    const std::wstring installFolder = state.workFolder.Get();
    const std::wstring config = state.config.IniPath();

    // Without the right to write the installation nothing is touched here:
    // the elevated instance does the whole uninstall. (A configuration that
    // is only in use is no such case.)
    (void)EnsureFileWritable(config, false);
    if (state.run.elevatedRelaunch) ClearAdministratorFiles();
    if (HasAdministratorFiles()) {
        relaunch();
        return UninstallOutcome::HandedToElevatedInstance;
    }

    RemoveTree(state.paths.ListCacheBase());

    DownLoadList& list = state.updateList;
    list.SetSize(0);
    const std::wstring localList = ReduceBackslashes(installFolder + L"\\mirefold.xml");
    if (FileExists(localList)) readList(localList, list);

    const KeptFiles kept{FullPath(config), FullPath(ExecutablePath())};
    std::vector<std::wstring> left;
    auto remove = [&](const std::wstring& path) {
        if (!RemoveFileAndEmptiedFolders(path, installFolder, kept)) left.push_back(path);
    };
    for (const updatefileinfo& record : list.Records()) {
        if (!IsFileRecord(record)) continue;
        for (const std::wstring& target : ExpandTargets(record.path, record.desname)) remove(target);
        // The links under the names the install phase gave them.
        for (const std::wstring& link : ExpandList(record.path, record.shortcut)) remove(RecordShortcutFile(link));
    }
    for (const std::wstring& path : left) WriteLog(L"uninstall: cannot remove [" + path + L"]");
    if (!left.empty())
        WriteLog(Format(L"uninstall: %d files could not be removed", static_cast<int>(left.size())));

    // Nothing may be logged after this, unless something stays anyway: the
    // log would come back.
    const std::wstring log = state.log.FilePath();
    if (!log.empty() && left.empty()) DeleteFileForce(log);
    DeleteFileForce(state.paths.OldFilesListPath());
    DeleteFileForce(localList);
    WriteInstalledSerial(std::nullopt);
    return left.empty() ? UninstallOutcome::Done : UninstallOutcome::Incomplete;
}

}  // namespace mf
