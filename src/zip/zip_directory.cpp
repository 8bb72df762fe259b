#include "zip/zip_directory.h"

#include "base/strings.h"

namespace mf {

DWORD EntryAttributes(const CentralEntry& entry) {
    constexpr DWORD kDosMask = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE;
    const unsigned host = entry.versionMadeBy >> 8;
    const std::uint32_t unixMode = entry.externalAttributes >> 16;
    const bool dosHost = host == 0 || host == 7 || host == 11 || host == 14;
    DWORD attributes = 0;
    // A Unix-made entry without any mode bits says nothing about write
    // permission; its MS-DOS byte is all there is.
    if (dosHost || unixMode == 0) {
        attributes = entry.externalAttributes & kDosMask;
    } else {
        attributes = FILE_ATTRIBUTE_ARCHIVE;
        if (entry.externalAttributes & 0x40000000) attributes |= FILE_ATTRIBUTE_DIRECTORY;
        if (!(entry.externalAttributes & 0x00800000)) attributes |= FILE_ATTRIBUTE_READONLY;
    }
    // Every zip tool ends the names of folder entries with a separator.
    if (!entry.storedName.empty() && IsZipSeparator(static_cast<wchar_t>(entry.storedName.back())))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    return attributes;
}

FILETIME DosTimeToUtc(std::uint16_t dosDate, std::uint16_t dosTime) {
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(1980 + (dosDate >> 9));
    local.wMonth = static_cast<WORD>((dosDate >> 5) & 0x0F);
    local.wDay = static_cast<WORD>(dosDate & 0x1F);
    local.wHour = static_cast<WORD>(dosTime >> 11);
    local.wMinute = static_cast<WORD>((dosTime >> 5) & 0x3F);
    local.wSecond = static_cast<WORD>((dosTime & 0x1F) * 2);
    FILETIME checked{};
    SYSTEMTIME utc{};
    FILETIME result{};
    if (!::SystemTimeToFileTime(&local, &checked)) return FILETIME{};
    // The offset of that date (summer or winter time), not of today.
    if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !::SystemTimeToFileTime(&utc, &result))
        return FILETIME{};
    return result;
}

FILETIME UnixTimeToFileTime(std::int64_t seconds) {
    const std::int64_t ticks = (seconds + 11644473600LL) * 10000000LL;
    if (ticks < 0) return FILETIME{};
    FILETIME result;
    result.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    result.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
    return result;
}

void ApplyExtendedTimestamp(std::string_view extra, ZipEntry& entry) {
    const ExtendedTimes times = ReadExtendedTimestamp(extra);
    FILETIME* targets[] = {&entry.modificationTime, &entry.accessTime, &entry.creationTime};
    for (std::size_t i = 0; i < times.seconds.size(); ++i)
        if (times.seconds[i]) *targets[i] = UnixTimeToFileTime(*times.seconds[i]);
}

ZipEntry DescribeEntry(int index, const CentralEntry& central, const LocalHeader& local) {
    ZipEntry entry;
    entry.index = index;
    entry.name = SafeEntryName(Widen(central.storedName, CodePage::Utf8));
    entry.attributes = EntryAttributes(central);
    const FILETIME stamp = DosTimeToUtc(central.dosDate, central.dosTime);
    entry.accessTime = entry.creationTime = entry.modificationTime = stamp;
    ApplyExtendedTimestamp(local.extra, entry);
    entry.compressedSize = central.compressedSize;
    entry.uncompressedSize = central.uncompressedSize;
    entry.crc = central.crc;
    return entry;
}

}  // namespace mf
