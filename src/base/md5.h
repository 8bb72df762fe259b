// MD5 digests of files through the Windows crypto API, for lists whose keys
// are content digests: the engine verifies what it fetched, the publishing
// tool writes the keys.
#pragma once

#include <string>

namespace mf {

// The MD5 digest of the file's bytes as 32 lower-case hexadecimal digits.
// False (and `hexLower` untouched) when the file cannot be read to its end
// or the crypto provider is not available.
[[nodiscard]] bool Md5OfFile(const std::wstring& path, std::wstring* hexLower);

// Whether a digest equals a key as a list writes it (hexadecimal digits in
// either case); an empty key matches nothing.
[[nodiscard]] bool Md5Matches(const std::wstring& digest, const std::wstring& key);

}  // namespace mf
