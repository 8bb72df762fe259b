// Signed lists. With UPDATEINFO/PublicKey set (the public key line that
// "mirefold-publish --new-key" wrote), the engine takes a list only with a
// valid signature, fetched from the list's URL followed by ".sig": the
// signature of the list's bytes as served (for a zip variant, of the list it
// unpacks to). A product list must also not be older than the installed
// release nor past its expiry (list/release_marks.h); a main list must not
// be past its expiry (its serials are the engine-wide list's own, not the
// product's). Without the setting every list is taken, as before.
#pragma once

#include <string>

#include "list/release_marks.h"

namespace mf {

// A package's list is the product list an offline package carries, with
// the package's rules for serials (JudgePackage) instead of a served list's.
enum class ListRole { Product, Main, Package };

// Whether UPDATEINFO/PublicKey is set.
[[nodiscard]] bool ListsMustBeSigned();

// Takes a list just fetched from `listUrl` to `listPath`, or refuses it:
// false when lists must be signed and this one is not taken; the file is
// then deleted and the reason logged. True when no key is configured.
[[nodiscard]] bool AcceptFetchedList(const std::wstring& listUrl, const std::wstring& listPath, ListRole role);

// The reason a list is not taken (empty: taken); the pure part of the
// above, on the list's bytes and its signature as fetched.
[[nodiscard]] std::wstring ListRefusal(const std::wstring& publicKey, std::string_view list, std::string_view signature,
                                       ListRole role, std::optional<std::uint64_t> installedSerial,
                                       std::int64_t nowSeconds);

// The reason the product list an offline package brought (at `listPath`,
// its signature beside it) is not taken; empty: taken. Where lists must be
// signed the signature must hold; with or without keys the package's serial
// rules apply (list/release_marks.h).
[[nodiscard]] std::wstring PackageListRefusal(const std::wstring& listPath, bool installationEmpty);

// The root marks of a list file (its first kRootScanBytes).
[[nodiscard]] ReleaseMarks ReadListMarks(const std::wstring& listPath);

}  // namespace mf
