// The zip container: end-of-central-directory record, central directory and
// local headers, and what an entry's stored fields mean (safe name,
// attributes, times). Everything here reads through a ByteSource and checks
// every length against the bytes it actually has.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zip/byte_source.h"
#include "zip/zip_format.h"
#include "zip/zip_result.h"

namespace mf {

// What the caller learns about one entry.
struct ZipEntry {
    int index = -1;        // for index -1: the number of entries
    std::wstring name;     // made safe: never a drive, a leading separator or a climbing ".."
    DWORD attributes = 0;  // FILE_ATTRIBUTE_READONLY/HIDDEN/SYSTEM/DIRECTORY/ARCHIVE
    FILETIME accessTime{};
    FILETIME creationTime{};
    FILETIME modificationTime{};
    DWORD compressedSize = 0;
    DWORD uncompressedSize = 0;
    DWORD crc = 0;  // CRC-32 of the plain bytes, as the directory states it
};

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

// The stored name with every way of leaving the destination folder removed.
std::wstring SafeEntryName(std::wstring name);

// MS-DOS attributes of an entry, from the host that made it.
DWORD EntryAttributes(const CentralEntry& entry);

// An MS-DOS date and time taken as local time, in UTC; zero when the stored
// value is no valid date.
FILETIME DosTimeToUtc(std::uint16_t dosDate, std::uint16_t dosTime);
FILETIME UnixTimeToFileTime(std::int64_t seconds);

// Replaces the times that an extended-timestamp block ("UT") of a local extra
// field carries.
void ApplyExtendedTimestamp(std::string_view extra, ZipEntry& entry);

// Everything the caller is told about an entry.
ZipEntry DescribeEntry(int index, const CentralEntry& central, const LocalHeader& local);

}  // namespace mf
