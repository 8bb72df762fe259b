// Path macros, the path resolver, the temporary folder and the list cache
// names, and the file operations every phase shares.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/files.h"
#include "engine/config.h"
#include "engine/work_folder.h"

namespace mf {

// The folder a macro word stands for; tests supply their own.
enum class ShellFolder {
    ProgramFiles, Documents, CommonDesktop, Desktop, StartMenu, CommonStartMenu, CommonStartup, Startup,
    CommonPrograms, Programs, Windows, System, SysWow64,
};
using FolderSource = std::function<std::wstring(ShellFolder)>;

// The real folders of this machine (SysWow64: the Windows folder's SysWOW64
// when it exists, else the system folder).
std::wstring SystemShellFolder(ShellFolder folder);

// Replaces the macro words ("{app}", "{sys}", "{desktop}" ...) of a text.
std::wstring ExpandMacrosWith(std::wstring text, const std::wstring& workFolder, const FolderSource& folders);

// The macros expanded; a relative result joined to the base folder with a
// backslash, an absolute one (a drive, UNC or long-path name) taken as it is;
// slashes become backslashes and runs of backslashes one (but the two of a
// network name). Empty when the expanded text is neither (a ":" anywhere but
// after a drive letter: a stream or device name).
std::wstring ResolvePathWith(const std::wstring& base, const std::wstring& text, const std::wstring& workFolder,
                             const FolderSource& folders);
// The same for a path that a list, a task document or a package names: a
// relative one must also stay inside the base folder (no ".." above it), or
// the result is empty. Absolute paths and macros are how such data names
// places elsewhere.
std::wstring ResolveInsideWith(const std::wstring& base, const std::wstring& text, const std::wstring& workFolder,
                               const FolderSource& folders);

// The 11-character name derived from a text ("abc" gives 93F3-7B369C).
std::wstring ListNameHash(std::wstring_view text);

class Paths {
public:
    Paths(Config& config, WorkFolder& workFolder);

    void SetFolderSource(FolderSource folders) { folders_ = std::move(folders); }

    [[nodiscard]] std::wstring ExpandMacros(const std::wstring& text);
    [[nodiscard]] std::wstring Resolve(const std::wstring& base, const std::wstring& text);
    // Resolve against the working folder.
    [[nodiscard]] std::wstring Resolve(const std::wstring& text);
    // ResolveInsideWith against the working folder: for paths of lists,
    // task documents and packages.
    [[nodiscard]] std::wstring ResolveInside(const std::wstring& text);
    [[nodiscard]] std::wstring MainProgramPath();
    [[nodiscard]] std::wstring TempFolder();

    // ListNameHash of ListURL + "9999999999"; and the paths built on it,
    // computed once and kept.
    [[nodiscard]] std::wstring ListCacheName();
    [[nodiscard]] std::wstring ListCacheBase();   // T\name
    [[nodiscard]] std::wstring ListFile();        // T\name.xml
    [[nodiscard]] std::wstring SavedListFile();   // T\name.lst
    [[nodiscard]] std::wstring PackageFile();     // T\name.bin
    [[nodiscard]] std::wstring QuickCheckCopy();  // T\name.xml.xml
    // The cache files that emptying the temporary files deletes (not the
    // saved list, which belongs to an elevated relaunch).
    [[nodiscard]] std::vector<std::wstring> ListCacheFiles();

    // Old-files list "__oldfiles.lst" in the working folder.
    void RecordOldFile(const std::wstring& path);
    void PurgeOldFiles();
    [[nodiscard]] std::wstring OldFilesListPath();

    // A path without ":" is taken relative to the working folder.
    bool DeleteFileRelative(const std::wstring& path);

private:
    void ComputeListPaths();

    Config& config_;
    WorkFolder& workFolder_;
    FolderSource folders_;
    std::mutex mutex_;
    bool listPathsReady_ = false;
    std::wstring listName_, listBase_, listFile_, savedListFile_, packageFile_;
};

// The files named after a downloaded list file: the copy that the next
// quick check reads, and the main list as downloaded before it is merged.
[[nodiscard]] std::wstring QuickCheckCopyOf(const std::wstring& listFile);
[[nodiscard]] std::wstring MainListFileOf(const std::wstring& listFile);

}  // namespace mf
