#include "base/confined_folder.h"

#include <windows.h>

#include "base/file_entry.h"
#include "base/files.h"
#include "base/path_text.h"
#include "base/strings.h"

namespace mf {

using namespace entry;

namespace {

// A folder opened and looked at: a plain folder (no link), lying in the
// folder whose final path is given under its own name.
UniqueFile HoldPlainFolder(const std::wstring& path, const std::wstring& parentFinal, const std::wstring& name) {
    UniqueFile held = HoldFolder(path);
    if (!held || !IsPlainFolder(AttributesOf(held.get(), AttributesByName(path)))) return {};
    if (!LiesInside(parentFinal, held.get(), name)) return {};
    return held;
}

}  // namespace

bool ConfinedFolder::Open(const std::wstring& path) {
    held_.reset();
    path_ = CollapseSeparators(path);
    while (path_.size() > 3 && (path_.back() == L'\\' || path_.back() == L'/')) path_.pop_back();
    if (path_.empty()) return false;
    CreateFolderTree(path_);
    UniqueFile held = HoldFolder(path_);
    if (!held || !IsPlainFolder(AttributesOf(held.get(), AttributesByName(path_))) ||
        !LiesWhereNamed(held.get(), path_))
        return false;
    final_ = FinalPath(held.get());
    held_ = std::move(held);
    return true;
}

HeldFolders ConfinedFolder::HoldFoldersOf(const std::wstring& filePath) const {
    HeldFolders result;
    if (!held_) return result;
    const std::wstring prefix = path_ + L"\\";
    if (filePath.size() <= prefix.size() || !EqualsNoCase(std::wstring_view(filePath).substr(0, prefix.size()), prefix))
        return result;
    const std::vector<std::wstring> parts = Split(std::wstring_view(filePath).substr(prefix.size()), L'\\');
    std::wstring current = path_;
    std::wstring currentFinal = final_;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        const std::wstring& name = parts[i];
        if (name.empty() || name == L"." || name == L".." || name.find(L'/') != std::wstring::npos) return result;
        current += L"\\" + name;
        ::CreateDirectoryW(current.c_str(), nullptr);
        UniqueFile held = HoldPlainFolder(current, currentFinal, name);
        if (!held) return result;
        currentFinal = FinalPath(held.get());
        result.folders_.push_back(std::move(held));
    }
    const std::wstring& leaf = parts.back();
    if (leaf.empty() || leaf == L"." || leaf == L"..") return result;
    result.ok_ = true;
    return result;
}

bool ConfinedFolder::HoldsPlainFile(const std::wstring& filePath) const {
    const DWORD byName = ::GetFileAttributesW(filePath.c_str());
    if (byName == INVALID_FILE_ATTRIBUTES) return false;
    const UniqueFile opened(::CreateFileW(filePath.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, kOpenTheEntryItself, nullptr));
    if (!opened) return false;
    const DWORD attributes = AttributesOf(opened.get(), byName);
    if (attributes == INVALID_FILE_ATTRIBUTES || IsLink(attributes) || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    if (!LiesWhereNamed(opened.get(), filePath)) return false;
    // And the folder it lies in is this one or below it.
    const std::wstring entryFinal = FinalPath(opened.get());
    if (entryFinal.empty() || final_.empty()) return true;
    const std::wstring prefix = final_.back() == L'\\' ? final_ : final_ + L"\\";
    return entryFinal.size() > prefix.size() &&
           EqualsNoCase(std::wstring_view(entryFinal).substr(0, prefix.size()), prefix);
}

}  // namespace mf
