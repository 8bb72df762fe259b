// The .NET Framework the main program needs: the version the configuration
// requires, the versions installed on this machine, whether the requirement
// is met, and what the prompt for a missing version says and where it
// downloads from. The prompt itself belongs to the flows and windows.
#pragma once

#include <array>
#include <functional>
#include <string>

namespace mf {

// The versions told apart, in the order of their framework folder names.
enum class DotNetVersion { V10, V11, V20, V30, V35, V40, V45 };
inline constexpr std::size_t kDotNetVersionCount = 7;

// Flags of the installed versions; detection only ever sets them.
struct InstalledDotNet {
    std::array<bool, kDotNetVersionCount> present{};
    [[nodiscard]] bool Has(DotNetVersion version) const { return present[static_cast<std::size_t>(version)]; }
};

// Section "Mirefold": the first non-empty of DotNetFix and DotNetFx as
// written, else the version of the first non-empty dotnetfx10 ...
// dotnetfx40 key, else empty (no requirement).
std::wstring RequiredDotNetVersionWith(const std::function<std::wstring(const std::wstring& key)>& readMirefold);
std::wstring RequiredDotNetVersion();

// Sets the flag of every "<windows>\Microsoft.NET\Framework\v1.0..." ...
// "v4.5..." sub-folder found.
void DetectInstalledDotNet(const std::wstring& windowsFolder, InstalledDotNet& installed);

// Empty and unknown requirements count as met.
bool DotNetRequirementMet(const std::wstring& required, const InstalledDotNet& installed);

// Detects into the process-wide flags and tests the configured requirement
// against them; `required` receives the version, when asked.
bool DotNetRequirementMetHere(std::wstring* required = nullptr);

// The version without dots, padded with zeros to two characters ("4.5" ->
// "45", "4" -> "40").
std::wstring DotNetVersionKey(const std::wstring& version);
// The key as a version text again ("45" -> "4.5").
std::wstring DotNetVersionText(const std::wstring& key);
// The configured address (dotnetfx<K> of section APPLICATION) when there is
// one, else the engine vendor's installer for the known keys, else empty.
std::wstring DotNetDownloadAddress(const std::wstring& key, const std::wstring& configured);
// The same with the vendor's site given: its address without the path, for
// example "http://update.mirefold.net" (the default; empty means it too), or
// "none" when the vendor hosts no installers.
std::wstring DotNetDownloadAddress(const std::wstring& key, const std::wstring& configured, std::wstring site);
// The same with the configured value read from section APPLICATION and the
// vendor's site from DotNetSite of section Mirefold.
std::wstring DotNetDownloadAddress(const std::wstring& key);

// The prompt's message: the translated sentence with its version number
// replaced by the given version.
std::wstring DotNetPromptMessage(const std::wstring& version);

}  // namespace mf
