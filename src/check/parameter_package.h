// The parameter package: a password-protected zip in the temporary folder
// ("<ListNameHash>.bin") whose one entry is an XML document
//   <fields><threadcount>4</threadcount><anyname>value</anyname>...</fields>
// Every child of "fields" lands in the VariableTable under its element
// name; "threadcount" and "filethread" also set the download limits.
//
// Whoever produces packages uses the password and entry name below:
//   password   "Mirefold.ParameterPackage/2026#qbank!?" (38 bytes, ASCII)
//   entry name the five bytes 0x01 0x02 0x03 0x04 0x05 (looked up ignoring case)
#pragma once

#include <string>
#include <string_view>

namespace mf {

inline constexpr std::string_view kParameterPackagePassword = "Mirefold.ParameterPackage/2026#qbank!?";
inline constexpr std::wstring_view kParameterPackageEntry = L"\x01\x02\x03\x04\x05";

// Stores the fields of a package document; false when it is not XML or has
// no "fields" element. COM must be initialised.
bool ApplyParameterFields(const std::wstring& xmlText);

// Reads the package of the current list; true when it was read.
bool LoadParameterPackage();

}  // namespace mf
