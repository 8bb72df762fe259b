#include "engine/config.h"

#include <windows.h>

#include "base/strings.h"

namespace mf {

Config::Config(WorkFolder& workFolder, const RunFacts& run) : workFolder_(workFolder), run_(run) {}

std::wstring ReadPrivateProfile(const std::wstring& path, const std::wstring& section, const std::wstring& key) {
    wchar_t buffer[kConfigValueMax + 1] = {};
    ::GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer, static_cast<DWORD>(kConfigValueMax + 1),
                               path.c_str());
    return buffer;
}

std::wstring Config::IniPath() { return ReduceBackslashes(workFolder_.Get() + L"\\mirefold.ini"); }

std::wstring Config::FileFor(const std::wstring& section, const std::wstring& key) {
    // The check time and the list-zip memory outlive the working folder's
    // copy, which is rewritten at every start: they live in the temporary
    // folder's mirefold.ini.
    if (section == L"Mirefold" && (key == L"OwerCheckTm" || key == L"ListFileZip") && tempFolder_) {
        return ReduceBackslashes(tempFolder_() + L"\\mirefold.ini");
    }
    return IniPath();
}

std::wstring Config::Read(const std::wstring& section, const std::wstring& key) {
    const std::wstring cacheKey = section + key;
    if (auto cached = cache_.Find(cacheKey); cached && !cached->empty()) return *cached;
    std::wstring value = ReadPrivateProfile(FileFor(section, key), section, key);
    cache_.Set(cacheKey, value);
    return value;
}

std::wstring Config::ReadOr(const std::wstring& section, const std::wstring& key, const std::wstring& fallback) {
    std::wstring value = Read(section, key);
    return value.empty() ? fallback : value;
}

bool Config::ReadFlag(const std::wstring& section, const std::wstring& key, const std::wstring& fallback) {
    return IsYes(ReadOr(section, key, fallback));
}

long Config::ReadInt(const std::wstring& section, const std::wstring& key, const std::wstring& fallback) {
    return ParseLong(ReadOr(section, key, fallback));
}

std::wstring Config::ReadIniFile(const std::wstring& path, const std::wstring& section, const std::wstring& key) {
    std::wstring value = ReadPrivateProfile(path, section, key);
    cache_.Set(section + key, value);
    return value;
}

void Config::Write(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    const std::wstring path = FileFor(section, key);
    ::SetLastError(ERROR_SUCCESS);
    const BOOL written = ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path.c_str());
    if (!written && ::GetLastError() == ERROR_ACCESS_DENIED && !run_.elevatedRelaunch && accessDenied_) {
        accessDenied_(IniPath());
        return;
    }
    cache_.Set(section + key, value);
}

void Config::Cache(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    cache_.Set(section + key, value);
}

std::optional<std::wstring> Config::Cached(const std::wstring& section, const std::wstring& key) const {
    return cache_.Find(section + key);
}

std::wstring Config::ReadEmbedded(const std::wstring& section, const std::wstring& key) const {
    return LookUpEmbedded(embedded_, section, key);
}

std::wstring LookUpEmbedded(std::wstring_view text, std::wstring_view section, std::wstring_view key) {
    if (text.empty() || key.empty()) return {};
    const std::wstring header = L"[" + std::wstring(section) + L"]";
    const std::size_t sectionAt = text.find(header);
    if (sectionAt == std::wstring_view::npos) return {};
    // A plain substring search: not anchored to a line start, and not stopped
    // by the next section.
    const std::size_t keyAt = text.find(key, sectionAt + header.size());
    if (keyAt == std::wstring_view::npos) return {};
    const std::size_t equals = text.find(L'=', keyAt + key.size());
    if (equals == std::wstring_view::npos) return {};
    const std::size_t start = equals + 1;
    const std::size_t lineFeed = text.find(L'\n', start);
    if (lineFeed == std::wstring_view::npos) return std::wstring(text.substr(start));
    std::size_t end = lineFeed;
    // Drop the carriage return of a CR-LF line; a LF-only line keeps its
    // last character.
    if (end > start && text[end - 1] == L'\r') --end;
    return std::wstring(text.substr(start, end - start));
}

CompanionFiles CompanionFiles::ForExecutableFolder(const std::wstring& folder) {
    std::wstring base = folder;
    while (!base.empty() && (base.back() == L'\\' || base.back() == L'/')) base.pop_back();
    return {base + L"\\..\\QuorvilKC.ini", base + L"\\..\\QuorvilSet.ini"};
}

bool CompanionFiles::HasKc() const { return ::GetFileAttributesW(kcPath.c_str()) != INVALID_FILE_ATTRIBUTES; }
bool CompanionFiles::HasSet() const { return ::GetFileAttributesW(setPath.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring CompanionFiles::Read(const std::wstring& key) const {
    std::wstring value;
    if (HasKc()) value = ReadPrivateProfile(kcPath, L"APPLICATION", key);
    if (HasSet()) value = ReadPrivateProfile(setPath, L"APPLICATION", key);
    return value;
}

}  // namespace mf
