// What a signed release says of itself in its list: on the root element its
// serial, which only grows from one release to the next, and the time after
// which the list is stale; on each file record the SHA-256 of the file. The
// publishing tool writes them, the engine holds every signed list to them,
// so that a mirror or a man in the middle can neither take an installation
// back to an older release nor keep it on one for ever. Plain rules on
// values, apart from the reading of lists and files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mf {

inline constexpr const wchar_t* kSerialAttribute = L"serial";
inline constexpr const wchar_t* kExpiresAttribute = L"expires";
inline constexpr const wchar_t* kSha256Attribute = L"sha256";
// A list's signature is served beside it under this suffix.
inline constexpr const wchar_t* kSignatureSuffix = L".sig";
// A signature file is 64 bytes; anything much longer is no signature.
inline constexpr std::size_t kSignatureFileMax = 1024;

// A serial: decimal digits only, at most 18 of them (so that one more still
// fits). Nothing for anything else.
[[nodiscard]] std::optional<std::uint64_t> ParseSerial(std::wstring_view text);

// A time "YYYY-MM-DDTHH:MM:SSZ" (UTC) as seconds since 1970-01-01; nothing
// for any other form or an impossible date.
[[nodiscard]] std::optional<std::int64_t> ParseUtcTime(std::wstring_view text);
[[nodiscard]] std::wstring UtcTimeText(std::int64_t seconds);

// The root's marks as a list writes them (empty: absent).
struct ReleaseMarks {
    std::wstring serial;
    std::wstring expires;
};

// The marks on the root element of a list's bytes (UTF-8 or another
// ASCII-compatible encoding, or UTF-16 in either byte order): the start tag
// of the document element is read after the prolog (declaration, comments,
// processing instructions). Nothing is found in anything else. Only the
// first kRootScanBytes bytes are looked at.
inline constexpr std::size_t kRootScanBytes = 64 * 1024;
[[nodiscard]] ReleaseMarks ReadRootMarks(std::string_view bytes);

enum class ReleaseVerdict {
    Taken,
    Older,       // its serial is below the installed release's
    Expired,     // its time has passed
    BadSerial,   // a serial is written but is not one
    BadExpires,  // an expiry is written but is not a time
    NoSerial,    // a package without a serial, for an installation that has a release
};

// Whether a signed list may be taken. A list without a serial counts as
// serial 0; an installation without a recorded serial takes any.
[[nodiscard]] ReleaseVerdict JudgeRelease(const ReleaseMarks& marks, std::optional<std::uint64_t> installedSerial,
                                          std::int64_t nowSeconds);

// Whether the release an offline package carries may be installed: one
// older than the installed release never is, and one without a serial only
// where nothing is installed yet (it cannot be told apart from an older
// one). A package has no expiry: it is delivered, not served.
[[nodiscard]] ReleaseVerdict JudgePackage(const ReleaseMarks& marks, std::optional<std::uint64_t> installedSerial,
                                          bool installationEmpty);

// The log text of a verdict other than Taken.
[[nodiscard]] std::wstring VerdictText(ReleaseVerdict verdict);

}  // namespace mf
