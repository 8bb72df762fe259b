// Percent-escaping of a path or URL for the server (the digest service's
// "FileUrl" parameter).
#pragma once

#include <string>
#include <string_view>

namespace mf {

// "%" and the characters space " < > # { } | \ ^ ~ [ ] ` + become "%XX";
// letters, digits and $&+,./:;=?@-_!*()' stay; every other character is
// written as the percent-escaped bytes of its UTF-8 form.
std::wstring EncodeUrlText(std::wstring_view text);

}  // namespace mf
