// Web addresses as the system reads them. Every address that a page or a
// server hands the engine is read with the system's own URL parser (the one
// the browser control uses), so that the engine and the browser agree on
// its scheme and host; a text with control characters is no address at all
// (the parsers differ on how they strip them).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mf::gui {

// An http or https address: scheme and host in lower case, the port the
// connection goes to (the scheme's default when none is written).
struct WebAddress {
    std::wstring scheme;
    std::wstring host;
    unsigned port = 0;
};

// Code units below U+0020 and U+007F..U+009F.
[[nodiscard]] bool HasControlCharacters(std::wstring_view text);

// The address when `url` is an absolute http or https URL with a host and
// without control characters; nullopt for anything else (file:, UNC paths,
// res:, javascript:, about:, relative or malformed text).
[[nodiscard]] std::optional<WebAddress> ParseWebAddress(std::wstring_view url);

// Whether two addresses name the same site: the same host and port (the
// default ports of http and https count as one).
[[nodiscard]] bool SameSite(const WebAddress& a, const WebAddress& b);

}  // namespace mf::gui
