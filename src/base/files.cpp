#include "base/files.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "base/file_entry.h"
#include "base/handles.h"
#include "base/path_text.h"
#include "base/strings.h"

namespace mf {

bool RemoveAnyEntry(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return DeleteFileForce(path);
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return ::RemoveDirectoryW(path.c_str()) != FALSE;
    return RemoveTree(path);
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes, std::uint64_t maxBytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) ||
        static_cast<std::uint64_t>(size.QuadPart) > std::min(maxBytes, kWholeFileMax))
        return false;
    std::string out(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!out.empty() &&
        (!::ReadFile(file.get(), out.data(), static_cast<DWORD>(out.size()), &read, nullptr) || read != out.size()))
        return false;
    bytes = std::move(out);
    return true;
}

bool WriteWholeFile(const std::wstring& path, std::string_view bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool FileExists(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolderTree(const std::wstring& path) {
    std::wstring folder = path;
    ReplaceAll(folder, L"/", L"\\");
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    if (folder.empty() || FolderExists(folder)) return true;
    const std::size_t slash = folder.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 0) CreateFolderTree(folder.substr(0, slash));
    return ::CreateDirectoryW(folder.c_str(), nullptr) != FALSE || FolderExists(folder);
}

bool ReplaceFileWithRetry(const std::wstring& source, const std::wstring& target, int attempts, unsigned delayMs) {
    if (!FileExists(source)) return false;
    for (int i = 0; i < attempts; ++i) {
        DeleteFileForce(target);
        if (::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) break;
        ::Sleep(delayMs);
    }
    for (int i = 0; i < attempts; ++i) {
        // The target existing is not enough: while the old file is locked it
        // exists too. Only a move that happened counts.
        if (::MoveFileW(source.c_str(), target.c_str())) return true;
        if (!FileExists(source) && FileExists(target)) return true;
        ::Sleep(delayMs);
    }
    return false;
}

namespace entry {

bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// An entry of a tree being removed, opened to be deleted: the entry itself,
// never what a link points to.
UniqueFile OpenToDelete(const std::wstring& path) {
    return UniqueFile(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    kOpenTheEntryItself, nullptr));
}

// A folder being emptied, held so that nobody can rename or delete it (and
// put a link in its place) until it is empty: others may list, read and
// write it meanwhile, but not open it for deletion.
UniqueFile HoldFolder(const std::wstring& path) {
    return UniqueFile(::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, kOpenTheEntryItself,
                                    nullptr));
}

DWORD AttributesOf(HANDLE entry) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileInformationByHandle(entry, &info) ? info.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
}

bool IsPlainFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && !IsLink(attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FinalPath(HANDLE handle) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD n = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(n + 1);
    }
    return {};
}

// Whether the entry opened as `name` inside a folder (whose final path is
// given) really lies there. Windows marks links as reparse points; Wine
// shows a Unix symbolic link to a file as a plain file, and deleting it
// there deletes its target. Its final path gives it away. When a path is
// not known, the attributes alone decide.
bool LiesInside(const std::wstring& folderFinal, HANDLE entry, const std::wstring& name) {
    if (folderFinal.empty()) return true;
    const std::wstring entryFinal = FinalPath(entry);
    if (entryFinal.empty()) return true;
    std::wstring expected = folderFinal;
    if (expected.back() != L'\\') expected += L'\\';
    expected += name;
    return ::CompareStringOrdinal(entryFinal.c_str(), static_cast<int>(entryFinal.size()), expected.c_str(),
                                  static_cast<int>(expected.size()), TRUE) == CSTR_EQUAL;
}

// What an entry is, by the handle and by its name: Wine reports a Unix
// symbolic link to a folder as a reparse point only by name, and by handle
// as the folder it points to.
DWORD AttributesOf(HANDLE entry, DWORD byName) {
    const DWORD byHandle = AttributesOf(entry);
    if (byHandle == INVALID_FILE_ATTRIBUTES || byName == INVALID_FILE_ATTRIBUTES) return INVALID_FILE_ATTRIBUTES;
    return byHandle | (byName & FILE_ATTRIBUTE_REPARSE_POINT);
}

DWORD AttributesByName(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }

namespace {

// LiesWhereNamed for a path the system takes as it is.
bool LiesWhereNamedAsIs(HANDLE entry, const std::wstring& path) {
    const std::wstring folder = FolderOf(path);
    if (folder.empty()) return true;
    const UniqueFile parent(::CreateFileW((folder.size() == 2 ? folder + L"\\" : folder).c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!parent) return true;
    std::wstring name = LastComponent(path);
    // A short (8.3) name stands for its long one.
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    const DWORD n = ::GetLongPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n > 0 && n < buffer.size()) name = LastComponent(std::wstring(buffer.data(), n));
    return LiesInside(FinalPath(parent.get()), entry, name);
}

}  // namespace

// Whether an entry opened by its path lies where the path says: a link
// that Wine shows as a plain file opens as what it points to, and only its
// final path tells. True when the system cannot say.
bool LiesWhereNamed(HANDLE entry, const std::wstring& path) {
    // The name the system opened: outside the "\\?\" form it drops a final
    // dot or space ("a.txt." opens "a.txt").
    const std::wstring opened = StartsWith(path, L"\\\\?\\") ? path : FullPath(path);
    if (opened.empty()) return false;
    return LiesWhereNamedAsIs(entry, opened);
}

}  // namespace entry

namespace {

using namespace entry;

// Deleted when the handle closes: the same object that was looked at.
// Read-only entries cannot be deleted, so that attribute goes first (never
// on a link, whose attributes would be its target's on some systems).
void DeleteOpened(HANDLE entry, DWORD attributes) {
    if (!IsLink(attributes) &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        ::SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    ::SetFileInformationByHandle(entry, FileDispositionInfo, &disposition, sizeof disposition);
}

struct Listed {
    std::wstring name;
    DWORD attributes;  // as the listing saw them
};

std::vector<Listed> ListFolder(const std::wstring& folder) {
    std::vector<Listed> entries;
    WIN32_FIND_DATAW data{};
    UniqueFind find(::FindFirstFileW((folder + L"\\*.*").c_str(), &data));
    if (!find) return entries;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") entries.push_back({name, data.dwFileAttributes});
    } while (::FindNextFileW(find.get(), &data));
    return entries;
}

void RemoveFolder(const std::wstring& path, const std::wstring& name, const std::wstring& parentFinal);

// Empties a folder that the caller holds. A link inside goes as a link,
// never what it points to: a junction or symbolic link placed in a folder
// that an elevated engine empties would otherwise hand it somebody else's
// files.
void RemoveContents(const std::wstring& folder, HANDLE held) {
    const std::wstring folderFinal = FinalPath(held);
    for (const Listed& listed : ListFolder(folder)) {
        const std::wstring& name = listed.name;
        const std::wstring child = folder + L"\\" + name;
        UniqueFile entry = OpenToDelete(child);
        if (!entry) continue;
        const DWORD attributes = AttributesOf(entry.get(), listed.attributes);
        if (attributes == INVALID_FILE_ATTRIBUTES || !LiesInside(folderFinal, entry.get(), name)) continue;
        if (IsPlainFolder(attributes)) {
            entry.reset();
            RemoveFolder(child, name, folderFinal);
        } else {
            DeleteOpened(entry.get(), attributes);
        }
    }
}

// A folder inside the tree: held while it is emptied, then deleted. It is
// looked at again each time it is opened, since it may have been replaced
// by a link in between; a link then goes as a link.
void RemoveFolder(const std::wstring& path, const std::wstring& name, const std::wstring& parentFinal) {
    {
        UniqueFile held = HoldFolder(path);
        if (!held || !LiesInside(parentFinal, held.get(), name)) return;
        if (IsPlainFolder(AttributesOf(held.get(), AttributesByName(path)))) RemoveContents(path, held.get());
    }
    UniqueFile entry = OpenToDelete(path);
    if (!entry || !LiesInside(parentFinal, entry.get(), name)) return;
    const DWORD attributes = AttributesOf(entry.get(), AttributesByName(path));
    if (attributes != INVALID_FILE_ATTRIBUTES) DeleteOpened(entry.get(), attributes);
}

}  // namespace

bool DeleteFileForce(const std::wstring& path) {
    // Most calls find nothing to delete (a download's leftovers that were
    // never made): one look-up says so. Under Wine each look-up of a name
    // that is not there reads the whole folder.
    const DWORD byName = ::GetFileAttributesW(path.c_str());
    if (byName == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
    }
    // The entry itself goes: a link as a link, never the file it points to.
    // Where the system cannot tell a link from its target (Wine shows a
    // Unix symbolic link as the file it names, and deletes that file), the
    // entry's final path gives it away, and such an entry is left alone.
    const UniqueFile opened = OpenToDelete(path);
    if (!opened) return false;
    const DWORD attributes = AttributesOf(opened.get(), byName);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (!IsLink(attributes)) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !LiesWhereNamed(opened.get(), path)) return false;
        if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
            FILE_BASIC_INFO basic{};
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
            ::SetFileInformationByHandle(opened.get(), FileBasicInfo, &basic, sizeof basic);
        }
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(opened.get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

bool RemoveTree(const std::wstring& folder) {
    if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    {
        UniqueFile held = HoldFolder(folder);
        // A top folder that is itself a link is refused outright: whoever
        // asked for it meant a folder of the engine's own, and this is not
        // one.
        if (!held || !IsPlainFolder(AttributesOf(held.get(), AttributesByName(folder)))) return false;
        RemoveContents(folder, held.get());
    }
    {
        UniqueFile top = OpenToDelete(folder);
        if (!top) return false;
        const DWORD attributes = AttributesOf(top.get(), AttributesByName(folder));
        if (!IsPlainFolder(attributes)) return false;
        DeleteOpened(top.get(), attributes);
    }
    return ::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
}

std::wstring ExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring ExecutableFolder() {
    std::wstring path = ExecutablePath();
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring WindowsFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    ::GetWindowsDirectoryW(buffer, MAX_PATH);
    return buffer;
}

}  // namespace mf
