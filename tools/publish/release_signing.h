// Signing what is published: the vendor's key file, the list's signature
// file (LIST.sig beside LIST), and the release serial and expiry that a
// signed list carries on its root element so that an engine refuses an
// older or stale release.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/signing.h"
#include "list/release_marks.h"

namespace mf::publish {

// The first line of a private key file, saying what it is.
inline constexpr const char* kKeyFileHeading =
    "Mirefold release signing key (ECDSA P-256). Private: keep it off the update server.";

// Writes a new key to `keyFile` and its public line to `keyFile`.pub; an
// existing file of either name is never replaced. False, with `error`.
bool WriteNewKey(const std::wstring& keyFile, std::wstring& error);

// Reads a key file written by WriteNewKey.
std::optional<SigningKey> ReadKeyFile(const std::wstring& keyFile, std::wstring& error);

// Writes `listFile`.sig, the signature of the file's exact bytes.
bool SignFile(const std::wstring& listFile, const SigningKey& key, std::wstring& error);

// Sets the serial on the root element of a list written by hand (the rest
// of the document as the XML DOM saves it). COM must be initialised.
bool WriteListSerial(const std::wstring& listFile, std::uint64_t serial, std::wstring& error);

// The serial of a release published without one given: one more than the
// previous release's, or else the UTC time as the number YYYYMMDDHHMMSS.
[[nodiscard]] std::uint64_t DefaultSerial(std::optional<std::uint64_t> previous);

// The expiry text `days` days after now (UTC).
[[nodiscard]] std::wstring ExpiryAfterDays(int days);

}  // namespace mf::publish
