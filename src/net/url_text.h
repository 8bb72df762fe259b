// Percent-encoding of a URL or a path for the server: used for the digest
// service's "FileUrl" parameter and for the size query: the second try of
// an ASCII name, the first of any other.
#pragma once

#include <string>
#include <string_view>

namespace mf {

// "%" first, then the fifteen characters servers choke on, then every
// character outside the URL-safe set as its UTF-8 bytes. "a b+c%" gives
// "a%20b%2Bc%25".
std::wstring EncodeUrlText(std::wstring_view text);

// Whether every character is ASCII: only such a URL reaches the server as
// written (WinINet sends the others in the ANSI code page).
[[nodiscard]] bool IsAsciiText(std::wstring_view text);

}  // namespace mf
