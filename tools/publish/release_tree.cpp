#include "release_tree.h"

#include <algorithm>

#include "base/handles.h"
#include "base/strings.h"
#include "engine/installed_release.h"
#include "list/release_marks.h"
#include "manifest.h"

namespace mf::publish {

namespace {

bool Walk(const std::wstring& root, const std::wstring& relative, std::vector<ReleaseFile>& files,
          std::vector<std::wstring>& skipped, std::wstring& error) {
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW data{};
    UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) return true;
        error = L"cannot list " + folder + L" (error " + ToWString(static_cast<long long>(::GetLastError())) + L")";
        return false;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                skipped.push_back(path);
                continue;
            }
            if (!Walk(root, path, files, skipped, error)) return false;
            continue;
        }
        if (relative.empty() && EqualsNoCase(name, kManifestName)) continue;
        ReleaseFile file;
        file.path = path;
        file.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        file.modified = data.ftLastWriteTime;
        files.push_back(std::move(file));
    } while (::FindNextFileW(find.get(), &data));
    if (::GetLastError() != ERROR_NO_MORE_FILES) {
        error = L"cannot list " + folder + L" (error " + ToWString(static_cast<long long>(::GetLastError())) + L")";
        return false;
    }
    return true;
}

}  // namespace

bool ScanRelease(const std::wstring& root, std::vector<ReleaseFile>& files, std::vector<std::wstring>& skipped,
                 std::wstring& error) {
    files.clear();
    skipped.clear();
    if (!Walk(root, L"", files, skipped, error)) return false;
    std::sort(files.begin(), files.end(), [](const ReleaseFile& a, const ReleaseFile& b) {
        const std::wstring la = ToLower(a.path), lb = ToLower(b.path);
        return la != lb ? la < lb : a.path < b.path;
    });
    return true;
}

std::wstring PathProblem(const std::wstring& path, const std::wstring& listName) {
    if (!IsXmlText(path)) return L"its name holds characters that a list cannot carry";
    if (Trim(path) != path) return L"its path begins or ends with white space, which the engine trims away";
    if (Contains(ToLower(path), L"._.zip"))
        return L"its path holds \"._.zip\", which the engine removes from list paths";
    if (EqualsNoCase(path, listName) || EqualsNoCase(path, listName + L"._.zip") ||
        EqualsNoCase(path, listName + kSignatureSuffix))
        return L"it has the name of the list file (choose another with --list-name)";
    if (EqualsNoCase(path, L"mirefold.xml"))
        return L"the engine keeps the installed list as mirefold.xml at the top of the installation";
    // The engine never installs a file over its own bookkeeping; a release
    // that ships one would not get it installed.
    for (const wchar_t* own : {L"mirefold.ini", L"__oldfiles.lst", kInstalledSerialFile}) {
        if (EqualsNoCase(path, own))
            return L"the engine keeps its own " + std::wstring(own) + L" at the top of the installation";
    }
    return {};
}

}  // namespace mf::publish
