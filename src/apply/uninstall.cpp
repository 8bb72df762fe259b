#include "apply/uninstall.h"

#include <windows.h>

#include <vector>

#include "apply/local_check.h"
#include "base/files.h"
#include "base/path_text.h"
#include "base/strings.h"
#include "engine/elevation.h"
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

void RemoveFileAndEmptiedFolders(const std::wstring& path, const std::wstring& installFolder, const KeptFiles& kept) {
    if (kept.Holds(path)) return;
    DeleteFileForce(path);
    RemoveEmptiedFolders(path, installFolder);
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

UninstallOutcome Uninstall(const UpdateListReader& readList) {
    ProcessState& state = Process();
    const std::wstring installFolder = state.workFolder.Get();
    const std::wstring config = state.config.IniPath();

    // Without the right to write the installation nothing is touched here:
    // the elevated instance does the whole uninstall.
    if (!state.run.elevatedRelaunch && !IsFileWritable(config)) {
        RelaunchElevated(false);
        return UninstallOutcome::HandedToElevatedInstance;
    }

    RemoveTree(state.paths.ListCacheBase());

    DownLoadList& list = state.updateList;
    list.SetSize(0);
    const std::wstring localList = ReduceBackslashes(installFolder + L"\\mirefold.xml");
    if (FileExists(localList)) readList(localList, list);

    const KeptFiles kept{FullPath(config), FullPath(ExecutablePath())};
    for (const updatefileinfo& record : list.Records()) {
        if (!IsFileRecord(record)) continue;
        for (const std::wstring& target : ExpandTargets(record.path, record.desname))
            RemoveFileAndEmptiedFolders(target, installFolder, kept);
        for (const std::wstring& link : ExpandList(record.path, record.shortcut))
            RemoveFileAndEmptiedFolders(link, installFolder, kept);
    }

    // Nothing may be logged after this: it would bring the log file back.
    const std::wstring log = state.log.FilePath();
    if (!log.empty()) DeleteFileForce(log);
    DeleteFileForce(state.paths.OldFilesListPath());
    DeleteFileForce(localList);
    return UninstallOutcome::Done;
}

}  // namespace mf
