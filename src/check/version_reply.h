// The short reply of a list URL in version query mode: a version item
// "<ver>2.1<..." and one or more list URL items "<url>http://...<...".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mf {

struct VersionReply {
    std::wstring version;                // empty when the reply names none
    std::vector<std::wstring> listUrls;  // in reply order
};

// The body as the server sent it: lines of ANSI text, joined without their
// line breaks and trimmed.
std::wstring JoinReplyLines(std::string_view body);

// Reads the items of a joined reply. The tags may be written "ver", "Ver",
// "VER", "url", "URL" or "Url"; an item runs up to the next "<". Only the
// tags are normalised, so the letter case of the URLs themselves is kept.
VersionReply ParseVersionReply(std::wstring_view text);

}  // namespace mf
