// What an elevated instance keeps of an update list that another instance
// saved for it. The saved file lies where any program of the user can write
// it, so its content proves nothing: a list the engine itself trusts (the
// server's, checked again, or the package's inside the engine's own
// executable) decides which records and commands stay.
#pragma once

#include <string>
#include <vector>

#include "list/download_list.h"

namespace mf {

// Keeps in `reference` only the file records that `saved` also holds with
// the same key (path in any letter case, version key, operation flags,
// digest kind) and only the commands that `saved` also holds; the records
// kept are the reference's own, so no other field of the saved list is
// taken. Returns a line for each record and command of `saved` that the
// reference does not hold alike (dropped).
std::vector<std::wstring> KeepHandedOverRecords(DownLoadList& reference, const DownLoadList& saved);

}  // namespace mf
