// Texts the check sends to the server: the escaped form of a path or URL,
// and random keys that never match a published version.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace mf {

// Percent-escapes a text for use in a URL: "%" and the characters
// space " < > # { } | \ ^ ~ [ ] ` + become "%XX"; letters, digits and
// $&+,./:;=?@-_!*()' stay; every other character is written as the
// percent-escaped bytes of its UTF-8 form.
std::wstring EncodeUrlText(std::wstring_view text);

// 32 hexadecimal digits, upper case except the third group.
std::wstring FormatGuidText(const GUID& guid);
// A fresh GUID in that form; empty when none can be made.
std::wstring NewGuidText();

}  // namespace mf
