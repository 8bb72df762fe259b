// The local check between the download and the install phase: every file
// about to be replaced must be writable, the main program must not run, and
// the local update list with its two companion lists must be writable.
// Status 7 "UpdateCheckLocal", ending in 9 "UpdateCheckLocalOk" or 8
// "UpdateCheckLocalError".
//
// Writes refused with access denied, on a system with user account control
// and in a process that is not the elevated relaunch, do not make a file
// count as locked: their paths are collected ("administrator files"), and a
// caller that finds any relaunches the engine elevated.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "apply/close_program.h"
#include "apply/write_probe.h"

namespace mf {

// The local update list and its two companion lists, in the installation
// folder.
inline constexpr const wchar_t* kCompanionLists[] = {
    L"mirefold.xml",
    L"{2767A2C0-0767-4958-ADA9-E813DF1BC478}.xml",
    L"{2767A2C0-0767-4958-ADA9-E813DF1BC489}.xml",
};

// Whether the file can be written (see ProbeWritable), collecting its path
// when the write was refused with access denied. In the elevated relaunch
// the collected paths are forgotten first, so it never collects any.
bool IsFileWritable(const std::wstring& path);

// IsFileWritable; when the file is not writable and `ask` is set, asks with
// Retry and Cancel (no owner window) until it is writable or the user
// cancels. The last test's result.
bool EnsureFileWritable(const std::wstring& path, bool ask);

// True when no process of the main program (key "Application" of section
// "APPLICATION", trimmed) runs; also true when no main program is set.
// Shows the finding to the owner window and logs it.
bool IsMainProgramClosed(HWND owner = nullptr);

// Tests every target of every record of the update list that is not to be
// deleted (stopping once a path was refused with access denied). False when
// a target stays locked.
bool CheckLockedFiles(HWND owner, bool ask);

// The main program must not run and the local lists must be writable; when
// either fails, asks whether to close the main program (without asking in
// the "mostsimple" skin) and closes it on Yes; then CheckLockedFiles. False
// when the main program was found running (even when it was closed: the
// next run finds it closed), a local list is not writable, or a target
// stays locked.
bool CloseMainProgramAndCheck(HWND owner, bool ask);

// The phase, for a plain owner window (launcher or host window; the user
// may be asked about locked files) or none (never asked). Runs only when
// the status is 6 or 7. Returns true exactly when it ended with status 9
// "UpdateCheckLocalOk" (the install phase may run); false when it did not
// run or ended with status 8. After status 8, HasAdministratorFiles() tells
// whether the engine must relaunch elevated to go on.
bool CheckLocalFiles(HWND owner);

// The phase for the update center dialog: the user is never asked, the
// dialog's file list is emptied, and the dialog's parent learns that the
// local check ran (message 1136, lParam 3) and, when `continueWhenReady` is
// set and the status is 9, is told to go on (WM_COMMAND 12324). Same result
// as above.
struct UpdateCenterTarget {
    HWND dialog = nullptr;
    HWND fileList = nullptr;  // the dialog's list view, emptied first
    bool continueWhenReady = false;
};
bool CheckLocalFiles(const UpdateCenterTarget& target);

// The paths collected because a write was refused with access denied.
[[nodiscard]] std::vector<std::wstring> AdministratorFiles();
[[nodiscard]] bool HasAdministratorFiles();
void ClearAdministratorFiles();

// Replaces the file operations and the system facts the writability test
// uses, for the current process state (tests produce access denied and
// older systems this way). Null operations restore the system's.
void UseFileOperations(std::shared_ptr<FileOperations> files);
void AssumeSystemSupportsElevation(bool supports);

}  // namespace mf
