#include "base/path_text.h"

#include <windows.h>

#include <vector>

#include "base/strings.h"

namespace mf {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

std::size_t LastSeparator(std::wstring_view path) { return path.find_last_of(L"\\/"); }

// The length of the part that makes a path absolute ("C:\", "\\server\",
// "\\?\C:\", "\\?\UNC\"), or 0 when the path does not begin with one.
std::size_t AbsolutePrefix(std::wstring_view path) {
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2])) return 3;
    if (path.size() < 3 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return 0;
    if (path[2] == L'?' && path.size() >= 4 && IsSeparator(path[3])) {
        const std::wstring_view rest = path.substr(4);
        if (rest.size() >= 3 && IsDriveLetter(rest[0]) && rest[1] == L':' && IsSeparator(rest[2])) return 7;
        if (rest.size() >= 4 && EqualsNoCase(rest.substr(0, 3), L"UNC") && IsSeparator(rest[3])) return 8;
        return 0;
    }
    // "\\.\" names devices, not files.
    if (path[2] == L'.' || path[2] == L'?' || IsSeparator(path[2])) return 0;
    return 2;
}

bool OnlyDotsAndBlanks(std::wstring_view part) {
    return !part.empty() && part.find_first_not_of(L". ") == std::wstring_view::npos;
}

}  // namespace

std::wstring FolderOf(std::wstring_view path) {
    const std::size_t slash = LastSeparator(path);
    return slash == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(0, slash));
}

std::wstring LastComponent(std::wstring_view path) {
    const std::size_t slash = LastSeparator(path);
    return std::wstring(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
}

std::wstring BaseNameOf(std::wstring_view path) {
    std::wstring name = LastComponent(path);
    const std::size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    return name;
}

std::wstring ParentOf(std::wstring_view path) {
    const std::size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring_view::npos) return std::wstring(path);
    return std::wstring(path.substr(0, slash < 3 ? std::min(slash + 1, path.size()) : slash));
}

std::wstring FullPath(const std::wstring& path) {
    if (path.empty()) return {};
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (n == 0) return {};
        if (n < buffer.size()) {
            std::wstring full(buffer.data(), n);
            while (full.size() > 3 && full.back() == L'\\') full.pop_back();
            return full;
        }
        buffer.resize(n + 1);
    }
    return {};
}

bool IsInside(const std::wstring& path, const std::wstring& folder) {
    const std::wstring full = FullPath(path);
    const std::wstring base = FullPath(folder);
    if (full.empty() || base.empty()) return false;
    if (EqualsNoCase(full, base)) return true;
    const std::wstring prefix = base.back() == L'\\' ? base : base + L"\\";
    return full.size() > prefix.size() && EqualsNoCase(std::wstring_view(full).substr(0, prefix.size()), prefix);
}

PathForm FormOf(std::wstring_view path) {
    const std::size_t prefix = AbsolutePrefix(path);
    if (path.find(L':', prefix) != std::wstring_view::npos) return PathForm::Refused;
    if (prefix > 0) return PathForm::Absolute;
    // A name that begins like a UNC or long-path name but is neither.
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return PathForm::Refused;
    return PathForm::Relative;
}

bool StaysInside(std::wstring_view relative) {
    long depth = 0;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find_first_of(L"\\/", start);
        if (end == std::wstring_view::npos) end = relative.size();
        const std::wstring_view part = relative.substr(start, end - start);
        if (part == L"..") {
            if (--depth < 0) return false;
        } else if (part == L"." || part.empty()) {
        } else if (OnlyDotsAndBlanks(part)) {
            return false;
        } else {
            ++depth;
        }
        start = end + 1;
    }
    return true;
}

std::wstring CollapseSeparators(std::wstring path) {
    const bool twoLeading = path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
    std::wstring out;
    out.reserve(path.size());
    for (const wchar_t c : path) {
        const wchar_t d = c == L'/' ? L'\\' : c;
        if (d == L'\\' && !out.empty() && out.back() == L'\\') continue;
        out.push_back(d);
    }
    if (twoLeading) out.insert(out.begin(), L'\\');
    return out;
}

}  // namespace mf
