#include "engine/dotnet.h"

#include <windows.h>

#include "base/files.h"
#include "base/handles.h"
#include "base/strings.h"
#include "engine/process_state.h"

namespace mf {

namespace {

// The engine vendor's copies of the framework installers.
constexpr const wchar_t* kDotNetSite = L"http://update.mirefold.net";
// DotNetSite=none: the vendor hosts no installers.
constexpr const wchar_t* kNoDotNetSite = L"none";

// Framework folder prefixes, in the order of DotNetVersion.
constexpr std::array<const wchar_t*, kDotNetVersionCount> kFolderPrefixes = {
    L"v1.0", L"v1.1", L"v2.0", L"v3.0", L"v3.5", L"v4.0", L"v4.5",
};

struct RequirementKey {
    const wchar_t* text;
    DotNetVersion version;
};
constexpr RequirementKey kRequirementKeys[] = {
    {L"1.0", DotNetVersion::V10}, {L"1.1", DotNetVersion::V11}, {L"2", DotNetVersion::V20},
    {L"2.0", DotNetVersion::V20}, {L"3", DotNetVersion::V30},   {L"3.0", DotNetVersion::V30},
    {L"3.5", DotNetVersion::V35}, {L"4", DotNetVersion::V40},   {L"4.0", DotNetVersion::V40},
    {L"4.5", DotNetVersion::V45},
};

// The versions the engine vendor hosts an installer for.
constexpr const wchar_t* kHostedKeys[] = {L"45", L"40", L"35", L"30", L"20", L"11", L"10"};

// The sentence every translation of the prompt is keyed by.
constexpr const wchar_t* kPromptSentence = L"You must install .Net Framework 1.0 to run main application.";
constexpr const wchar_t* kPromptSentenceVersion = L"1.0";

}  // namespace

std::wstring RequiredDotNetVersionWith(const std::function<std::wstring(const std::wstring& key)>& readMirefold) {
    for (const wchar_t* key : {L"DotNetFix", L"DotNetFx"}) {
        std::wstring value = readMirefold(key);
        if (!value.empty()) return value;
    }
    struct Flag {
        const wchar_t* key;
        const wchar_t* version;
    };
    constexpr Flag kFlags[] = {{L"dotnetfx10", L"1.0"}, {L"dotnetfx11", L"1.1"}, {L"dotnetfx20", L"2.0"},
                               {L"dotnetfx30", L"3.0"}, {L"dotnetfx35", L"3.5"}, {L"dotnetfx40", L"4.0"}};
    for (const Flag& flag : kFlags) {
        if (!readMirefold(flag.key).empty()) return flag.version;
    }
    return {};
}

std::wstring RequiredDotNetVersion() {
    return RequiredDotNetVersionWith([](const std::wstring& key) { return ReadConfig(L"Mirefold", key); });
}

void DetectInstalledDotNet(const std::wstring& windowsFolder, InstalledDotNet& installed) {
    const std::wstring pattern = ReduceBackslashes(windowsFolder + L"\\Microsoft.NET\\Framework\\*.*");
    WIN32_FIND_DATAW found{};
    const UniqueFind search(::FindFirstFileW(pattern.c_str(), &found));
    if (!search) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
        const std::wstring_view name = found.cFileName;
        for (std::size_t i = 0; i < kFolderPrefixes.size(); ++i) {
            if (StartsWith(name, kFolderPrefixes[i])) installed.present[i] = true;
        }
    } while (::FindNextFileW(search.get(), &found));
}

bool DotNetRequirementMet(const std::wstring& required, const InstalledDotNet& installed) {
    if (required.empty()) return true;
    for (const RequirementKey& key : kRequirementKeys) {
        if (required == key.text) return installed.Has(key.version);
    }
    return true;
}

bool DotNetRequirementMetHere(std::wstring* required) {
    const std::wstring version = RequiredDotNetVersion();
    if (required != nullptr) *required = version;
    InstalledDotNet& installed = Process().installedDotNet;
    DetectInstalledDotNet(WindowsFolder(), installed);
    return DotNetRequirementMet(version, installed);
}

std::wstring DotNetVersionKey(const std::wstring& version) {
    std::wstring key = Replaced(version, L".", L"") + L"0000";
    return key.substr(0, 2);
}

std::wstring DotNetVersionText(const std::wstring& key) {
    if (key.empty()) return {};
    return key.substr(0, 1) + L"." + key.substr(1);
}

std::wstring DotNetDownloadAddress(const std::wstring& key, const std::wstring& configured) {
    return DotNetDownloadAddress(key, configured, kDotNetSite);
}

std::wstring DotNetDownloadAddress(const std::wstring& key, const std::wstring& configured, std::wstring site) {
    if (!configured.empty()) return configured;
    while (!site.empty() && site.back() == L'/') site.pop_back();
    if (site.empty()) site = kDotNetSite;
    if (EqualsNoCase(site, kNoDotNetSite)) return {};
    for (const wchar_t* hosted : kHostedKeys) {
        if (key == hosted) return site + L"/dotnetfx/dotnetfx" + key + L".exe";
    }
    return {};
}

std::wstring DotNetDownloadAddress(const std::wstring& key) {
    return DotNetDownloadAddress(key, ReadConfig(L"APPLICATION", L"dotnetfx" + key),
                                 ReadConfigOr(L"Mirefold", L"DotNetSite", kDotNetSite));
}

std::wstring DotNetPromptMessage(const std::wstring& version) {
    return Replaced(Translate(kPromptSentence), kPromptSentenceVersion, version);
}

}  // namespace mf
