// The zip container as stored: end-of-central-directory record, central
// directory, local headers, the names and extra fields they carry. Plain C++
// without any system header: the bytes come from whoever sent the archive,
// so every length is checked against the bytes the ByteSource really has,
// and the same code runs natively under a fuzzer. What the stored fields
// mean to Windows (attributes, file times) is zip_directory.h.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zip/byte_source.h"
#include "zip/zip_format.h"
#include "zip/zip_result.h"

namespace mf {

// One record of the central directory, as stored.
struct CentralEntry {
    std::uint16_t versionMadeBy = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint32_t externalAttributes = 0;
    std::uint64_t localHeaderOffset = 0;  // from the start of the archive source
    std::string storedName;
};

// Finds the end record and reads the whole central directory. CannotOpen when
// the source is no zip (or a ZIP64 or multi-disk one, which are not read).
[[nodiscard]] ZipResult ReadCentralDirectory(ByteSource& source, std::vector<CentralEntry>& entries);

// The local header of an entry: where its data starts and its extra field.
struct LocalHeader {
    std::uint64_t dataOffset = 0;
    std::string extra;
};
[[nodiscard]] ZipResult ReadLocalHeader(ByteSource& source, const CentralEntry& entry, LocalHeader& header);

// Both separators count in a stored name, whatever host made the archive.
[[nodiscard]] constexpr bool IsZipSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The stored name with every way of leaving the destination folder removed.
std::wstring SafeEntryName(std::wstring name);

// The Unix times (seconds) that an extended-timestamp block ("UT") of a
// local extra field carries: modification, access, creation.
struct ExtendedTimes {
    std::array<std::optional<std::int32_t>, 3> seconds;
};
[[nodiscard]] ExtendedTimes ReadExtendedTimestamp(std::string_view extra);

}  // namespace mf
