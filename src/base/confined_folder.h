// A folder that other processes of the user can write into while the
// engine, often elevated, works in it: the temporary download folder. Links
// planted there (a junction or symbolic link, or the folder itself being
// one) must never make the engine write or delete anywhere else.
#pragma once

#include <string>
#include <vector>

#include "base/handles.h"

namespace mf {

// Folders held open so that nobody can rename or delete them (and put a link
// in their place) while the engine writes below them.
class HeldFolders {
public:
    HeldFolders() = default;
    HeldFolders(HeldFolders&&) noexcept = default;
    HeldFolders& operator=(HeldFolders&&) noexcept = default;
    [[nodiscard]] explicit operator bool() const { return ok_; }

private:
    friend class ConfinedFolder;
    std::vector<UniqueFile> folders_;
    bool ok_ = false;
};

class ConfinedFolder {
public:
    ConfinedFolder() = default;
    ConfinedFolder(ConfinedFolder&&) noexcept = default;
    ConfinedFolder& operator=(ConfinedFolder&&) noexcept = default;

    // Opens the folder, creating it (and its parents) when it is missing,
    // and holds it open. False, and nothing held, when it is a link or is
    // not where its path says.
    bool Open(const std::wstring& path);
    [[nodiscard]] explicit operator bool() const { return static_cast<bool>(held_); }
    [[nodiscard]] const std::wstring& path() const { return path_; }

    // Creates the folders between this folder and the file `filePath` (a
    // path below it, as this folder's path followed by a relative part) and
    // holds them. Empty (false) when the path does not lie below this folder
    // by its text, or one of its folders is a link, lies elsewhere or cannot
    // be made.
    [[nodiscard]] HeldFolders HoldFoldersOf(const std::wstring& filePath) const;

    // Whether what stands at `filePath` (below this folder) is a plain file
    // that lies where its name says: false for a link, a folder, or nothing.
    [[nodiscard]] bool HoldsPlainFile(const std::wstring& filePath) const;

private:
    std::wstring path_;   // as given, without a trailing backslash
    std::wstring final_;  // where the system says it is
    UniqueFile held_;
};

}  // namespace mf
