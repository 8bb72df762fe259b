// Renaming an open file or folder by its handle: what was opened and looked
// at is what moves, whatever stands under its old or new name meanwhile.
#pragma once

#include <windows.h>

#include <string>

namespace mf {

// Gives the entry (opened with DELETE access) the new full path, never
// replacing what stands there: false when that name is taken.
bool RenameOpenEntry(HANDLE entry, const std::wstring& newPath);

}  // namespace mf
