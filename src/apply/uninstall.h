// Uninstall ("uninstall" run mode): removes every file and shortcut that the
// local update list names, the folders that became empty, the log and the
// engine's bookkeeping files. mirefold.ini and the engine itself stay.
#pragma once

#include <functional>
#include <string>

#include "list/download_list.h"

namespace mf {

// Reads an update list file into a record array, in the mode used for
// server lists (the reader lives in the check, beside this layer).
using UpdateListReader = std::function<bool(const std::wstring& path, DownLoadList& target)>;

enum class UninstallOutcome {
    Done,
    // Some listed file or shortcut could not be removed (each is logged).
    Incomplete,
    // Writes to the installation are refused with access denied; an
    // elevated instance was started to do the uninstall instead.
    HandedToElevatedInstance,
};

// Starts the engine again elevated, to do the uninstall there.
using ElevatedRelaunch = std::function<void()>;


// Removes `path` as a folder, then its parent and so on upward, for as long
// as the path lies in the installation folder; only empty folders go (a
// file or a folder with something in it stays, and so do its parents).
void RemoveEmptiedFolders(const std::wstring& path, const std::wstring& installFolder);

// The uninstall of the installation in the working folder. The update list
// is emptied and filled from the local list "mirefold.xml". mirefold.ini is
// probed first: when the write is refused with access denied (the path is
// collected as an administrator file), `relaunch` is called and nothing is
// touched here. A file that is only in use is no reason to relaunch: what
// cannot be removed is logged and the outcome says so.
UninstallOutcome Uninstall(const UpdateListReader& readList, const ElevatedRelaunch& relaunch);

}  // namespace mf
