// Random version keys that never match a published version.
#pragma once

#include <windows.h>

#include <string>

namespace mf {

// 32 hexadecimal digits, upper case except the third group.
std::wstring FormatGuidText(const GUID& guid);
// A fresh GUID in that form; empty when none can be made.
std::wstring NewGuidText();

}  // namespace mf
