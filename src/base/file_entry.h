// The pieces of link-safe file handling that the file operations of base
// share: an entry opened as itself (never what a link points to), what it
// is, and whether it lies where its name says. Inside base only.
#pragma once

#include <windows.h>

#include <string>

#include "base/handles.h"

namespace mf::entry {

// Opens a link itself, and folders as well as files.
inline constexpr DWORD kOpenTheEntryItself = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;

bool IsLink(DWORD attributes);
bool IsPlainFolder(DWORD attributes);

// The entry itself, opened to be deleted.
UniqueFile OpenToDelete(const std::wstring& path);
// A folder held so that nobody can rename or delete it (and put a link in
// its place): others may list, read and write it meanwhile.
UniqueFile HoldFolder(const std::wstring& path);

DWORD AttributesOf(HANDLE entry);
// By the handle and by the name together: Wine reports a Unix symbolic link
// to a folder as a reparse point only by its name.
DWORD AttributesOf(HANDLE entry, DWORD byName);
DWORD AttributesByName(const std::wstring& path);

// Where the system says the opened entry is ("\\?\C:\..."); empty when it
// cannot say.
std::wstring FinalPath(HANDLE handle);
// Whether the entry opened as `name` in the folder whose final path is
// given lies there. True when a path is not known.
bool LiesInside(const std::wstring& folderFinal, HANDLE entry, const std::wstring& name);
// The same for an entry opened by its full path.
bool LiesWhereNamed(HANDLE entry, const std::wstring& path);

}  // namespace mf::entry
