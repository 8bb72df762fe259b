// What an entry's stored fields mean on Windows (safe name, attributes,
// times), over the container's records (zip_container.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zip/zip_container.h"

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
