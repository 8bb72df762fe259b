// The install phase: after the local check has cleared the way (status 9),
// the pending files of the temporary download folder become the installed
// program. Each record's file is copied to all of its targets (a file in
// use moved aside), its shortcuts made, its operations run (register,
// delete, run), then the list's commands run, the temporary folder is
// removed and the new update list becomes the installed list. Single
// failures are logged and the phase goes on; it ends with status 12.
#pragma once

#include <windows.h>

#include <string>

namespace mf {

// The phase: status 10, ApplyUpdate, status 12, and the version text of the
// new list (when there is one) written to "Ver" of section APPLICATION.
// Does nothing and returns false unless the status is 9. The Cancel button
// of the owner's parent is disabled while it runs. The owner may be null
// (a silent run).
bool RunInstallPhase(HWND owner);

// Everything the phase does between its statuses. The owner window (may be
// null) gets message 1041 (record index, record count) before each record
// and the status texts. Always true: failures are the log's.
bool ApplyUpdate(HWND owner);

// "icacls.exe" of the system folder when Mirefold/icacls asks for it and
// the tool is there; empty otherwise (no rights are granted then).
std::wstring RightsTool();

// Grants the Users group delete and write-DAC rights on the path by
// starting the tool (hidden, not waited for). Nothing without a tool or
// path.
void GrantUsersRights(const std::wstring& tool, const std::wstring& path);

// Runs one command of the list: the joined text is split into program,
// parameters and wait flag, path macros are expanded in each, the line
// "Run[program][parameters][wait|nowait]" is shown and logged, and an
// existing program is started (and waited for when the flag says so).
void RunListEntry(const std::wstring& command, HWND owner);

// Moves every file below `source` to the same relative path below
// `destination`, creating missing folders but never replacing a file, and
// removes each source folder that was emptied. A file that cannot be moved
// is logged and stays.
void MoveFolderTree(const std::wstring& source, const std::wstring& destination);

// Loads the library with its own folder searched first for what it needs,
// calls its DllRegisterServer when it has one, and unloads it. False when
// it could not be loaded.
bool RegisterLibrary(const std::wstring& path);

}  // namespace mf
