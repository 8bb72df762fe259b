// Percent-encoding of a URL or a path for the server: used for the digest
// service's "FileUrl" parameter and for the second try of a size query.
#pragma once

#include <string>
#include <string_view>

namespace mf {

// "%" first, then the fifteen characters servers choke on, then every
// character outside the URL-safe set as its UTF-8 bytes. "a b+c%" gives
// "a%20b%2Bc%25".
std::wstring EncodeUrlText(std::wstring_view text);

}  // namespace mf
