// The parameter package: a password-protected zip in the temporary folder
// ("<ListNameHash>.bin") whose one entry is an XML document
//   <fields><threadcount>4</threadcount><filethread>8</filethread></fields>
// The children of "fields" that the engine reads land in ParameterFields;
// "threadcount" and "filethread" also set the download limits.
//
// The temporary folder is the user's, and the engine often runs elevated:
// any other element is ignored and logged. An entry larger than
// kParameterPackageEntryMax is not read at all.
//
// Whoever produces packages uses the password and entry name below:
//   password   "Mirefold.ParameterPackage/2026#qbank!?" (38 bytes, ASCII)
//   entry name the five bytes 0x01 0x02 0x03 0x04 0x05 (looked up ignoring case)
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/process_wide.h"

namespace mf {

inline constexpr std::string_view kParameterPackagePassword = "Mirefold.ParameterPackage/2026#qbank!?";
inline constexpr std::wstring_view kParameterPackageEntry = L"\x01\x02\x03\x04\x05";

// A package holds a few short settings.
inline constexpr std::size_t kParameterPackageEntryMax = 64 * 1024;

// The fields of the packages read in this run, as their texts stand; a
// field stays until a later package names it again.
// Process-wide: a fresh state has read no package.
struct ParameterFields : ProcessWide {
    std::optional<std::wstring> threadCount;    // "threadcount": files at the same time
    std::optional<std::wstring> fileThread;     // "filethread": connections per file
    std::optional<std::wstring> fromWebServer;  // "frommwebsvr": "true" drops the cached package

    [[nodiscard]] bool FromWebServer() const { return fromWebServer == L"true"; }
};

// The fields of the current process state.
ParameterFields& CurrentParameterFields();

// Stores the fields of a package document; false when it is not XML or has
// no "fields" element. COM must be initialised.
bool ApplyParameterFields(const std::wstring& xmlText);

// Reads the package of the current list; true when it was read.
bool LoadParameterPackage();

}  // namespace mf
