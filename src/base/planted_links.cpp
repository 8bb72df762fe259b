#include "base/planted_links.h"

#include <windows.h>

#include <vector>

#include "base/entry_rename.h"
#include "base/file_entry.h"
#include "base/files.h"
#include "base/handles.h"

namespace mf {

using namespace entry;

namespace {

// A folder opened to be renamed: the folder itself, which nobody else can
// rename or delete while it is open.
UniqueFile OpenFolderToRename(const std::wstring& path) {
    return UniqueFile(::CreateFileW(path.c_str(), DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, kOpenTheEntryItself,
                                    nullptr));
}

void DeleteThroughHandle(HANDLE entry) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    ::SetFileInformationByHandle(entry, FileDispositionInfo, &disposition, sizeof disposition);
}

// Removes the links below the folder (whose final path is given); false
// when one of them cannot be opened as itself where it is named.
bool RemoveLinksBelow(const std::wstring& folder, const std::wstring& folderFinal, int& removed) {
    WIN32_FIND_DATAW data{};
    std::vector<std::pair<std::wstring, DWORD>> entries;
    {
        // A folder that cannot be listed cannot be vouched for.
        UniqueFind find(::FindFirstFileW((folder + L"\\*.*").c_str(), &data));
        if (!find) return false;
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") entries.emplace_back(name, data.dwFileAttributes);
        } while (::FindNextFileW(find.get(), &data));
    }
    for (const auto& [name, listed] : entries) {
        const std::wstring path = folder + L"\\" + name;
        UniqueFile entry = OpenToDelete(path);
        if (!entry) {
            // A link that cannot be opened, or one that points nowhere
            // (listed, but not there to open).
            if (IsLink(listed)) return false;
            if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
                ::GetLastError() != ERROR_ACCESS_DENIED)
                return false;
            continue;
        }
        if (IsLink(AttributesOf(entry.get()))) {
            // The handle is on the link itself: it goes, its target stays.
            DeleteThroughHandle(entry.get());
            ++removed;
            continue;
        }
        if (!LiesInside(folderFinal, entry.get(), name)) return false;
        if (IsPlainFolder(AttributesOf(entry.get(), listed))) {
            const std::wstring final = FinalPath(entry.get());
            entry.reset();
            if (!RemoveLinksBelow(path, final, removed)) return false;
        }
    }
    return true;
}

// Renames the held folder to the first free name beside it.
bool PutAside(HANDLE folder, const std::wstring& path) {
    const unsigned stamp = ::GetTickCount();
    for (unsigned n = 0; n < 100; ++n)
        if (RenameOpenEntry(folder, path + L".~" + std::to_wstring(stamp + n))) return true;
    return false;
}

}  // namespace

LinkSweep ClearPlantedLinks(const std::wstring& folder) {
    const DWORD byName = ::GetFileAttributesW(folder.c_str());
    if (byName == INVALID_FILE_ATTRIBUTES) return LinkSweep::Clean;
    int removed = 0;
    {
        // Held while it is walked, so that nobody can put a link in its
        // place (a handle with DELETE access would keep the walk itself from
        // listing it).
        UniqueFile held = HoldFolder(folder);
        if (!held || !IsPlainFolder(AttributesOf(held.get(), byName)) || !LiesWhereNamed(held.get(), folder))
            return LinkSweep::Refused;
        if (RemoveLinksBelow(folder, FinalPath(held.get()), removed))
            return removed > 0 ? LinkSweep::LinksRemoved : LinkSweep::Clean;
    }
    // Looked at again through the handle that renames it.
    UniqueFile aside = OpenFolderToRename(folder);
    if (!aside || !IsPlainFolder(AttributesOf(aside.get(), AttributesByName(folder))) ||
        !LiesWhereNamed(aside.get(), folder) || !PutAside(aside.get(), folder))
        return LinkSweep::Refused;
    aside.reset();
    return ::CreateDirectoryW(folder.c_str(), nullptr) ? LinkSweep::FolderRenewed : LinkSweep::Refused;
}

}  // namespace mf
