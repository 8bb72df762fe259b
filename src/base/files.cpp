#include "base/files.h"

#include <windows.h>

#include <vector>

#include "base/handles.h"
#include "base/strings.h"

namespace mf {

bool DeleteFileForce(const std::wstring& path) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileW(path.c_str()) != FALSE;
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

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data{};
    UniqueFind find(::FindFirstFileW((folder + L"\\*.*").c_str(), &data));
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                DeleteFileForce(child);
            }
        } while (::FindNextFileW(find.get(), &data));
    }
    find.reset();
    ::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(folder.c_str());
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
