// Links that another program of the user planted in a folder of the engine's
// (the temporary download folder): at a pending file's name, a part file's
// or a folder's, they would make every later update fail until somebody
// removed them by hand. They go as links, never what they point to.
#pragma once

#include <string>

namespace mf {

enum class LinkSweep {
    Clean,          // nothing there, or no link below the folder
    LinksRemoved,   // links were removed as themselves
    FolderRenewed,  // the folder was put aside, with the links in it, and made anew
    Refused,        // the folder itself is a link, or it could not be put aside
};

// Removes every link below `folder` as the link itself, through a handle
// opened on the link. Where the system opens a link only as what it points
// to (Wine shows a Unix symbolic link as its target, and every call on it,
// by name or by handle, deletes or renames the target), nothing can remove
// it as itself: then the folder, a plain folder held by its own handle, is
// renamed aside by that handle (beside itself, ".~" and a number) and made
// anew, empty.
[[nodiscard]] LinkSweep ClearPlantedLinks(const std::wstring& folder);

}  // namespace mf
