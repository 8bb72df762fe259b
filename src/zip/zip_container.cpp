#include "zip/zip_container.h"

#include <algorithm>

namespace mf {
namespace {

std::uint16_t Get16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct EndRecord {
    std::uint64_t position = 0;
    std::uint16_t entryCount = 0;
    std::uint32_t directorySize = 0;
    std::uint32_t directoryOffset = 0;
};

// The end record is the last signature, searched backwards through the
// largest tail a comment allows, whose comment stays inside the archive.
bool FindEndRecord(ByteSource& source, EndRecord& end) {
    const std::uint64_t size = source.Size();
    if (size < kZipEndRecordSize) return false;
    const std::uint64_t tailLength = std::min<std::uint64_t>(size, kZipEndRecordSize + kZipMaxComment);
    std::vector<unsigned char> tail(static_cast<std::size_t>(tailLength));
    const std::uint64_t tailStart = size - tailLength;
    if (!source.ReadAt(tailStart, tail.data(), tail.size())) return false;
    for (std::size_t at = tail.size() - kZipEndRecordSize + 1; at-- > 0;) {
        const unsigned char* p = tail.data() + at;
        if (Get32(p) != kZipEndSignature) continue;
        if (at + kZipEndRecordSize + Get16(p + 20) > tail.size()) continue;
        const std::uint16_t disk = Get16(p + 4);
        const std::uint16_t directoryDisk = Get16(p + 6);
        const std::uint16_t entriesHere = Get16(p + 8);
        end.position = tailStart + at;
        end.entryCount = Get16(p + 10);
        end.directorySize = Get32(p + 12);
        end.directoryOffset = Get32(p + 16);
        // Archives split over disks and ZIP64 archives are not read.
        if (disk != 0 || directoryDisk != 0 || entriesHere != end.entryCount) return false;
        if (end.entryCount == 0xFFFF || end.directorySize == 0xFFFFFFFF || end.directoryOffset == 0xFFFFFFFF)
            return false;
        return true;
    }
    return false;
}

bool HasCentralSignature(ByteSource& source, std::uint64_t offset) {
    unsigned char signature[4];
    return source.ReadAt(offset, signature, sizeof signature) && Get32(signature) == kZipCentralSignature;
}

// Offsets in the archive count from its first local header. Data put in
// front of it (a self-extracting stub) shifts everything by the difference
// between where the directory is said to be and where it really ends.
bool DirectoryShift(ByteSource& source, const EndRecord& end, std::uint64_t& shift) {
    const std::uint64_t claimedEnd = std::uint64_t{end.directoryOffset} + end.directorySize;
    if (claimedEnd > end.position) return false;
    shift = 0;
    if (end.entryCount == 0 || HasCentralSignature(source, end.directoryOffset)) return true;
    shift = end.position - claimedEnd;
    return HasCentralSignature(source, end.directoryOffset + shift);
}

bool ParseDirectory(const std::vector<unsigned char>& bytes, std::size_t count, std::uint64_t shift,
                    std::vector<CentralEntry>& entries) {
    entries.clear();
    entries.reserve(count);
    std::size_t at = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes.size() - at < kZipCentralHeaderSize) return false;
        const unsigned char* p = bytes.data() + at;
        if (Get32(p) != kZipCentralSignature) return false;
        const std::size_t nameLength = Get16(p + 28);
        const std::size_t variable = nameLength + Get16(p + 30) + Get16(p + 32);
        if (bytes.size() - at - kZipCentralHeaderSize < variable) return false;
        CentralEntry e;
        e.versionMadeBy = Get16(p + 4);
        e.flags = Get16(p + 8);
        e.method = Get16(p + 10);
        e.dosTime = Get16(p + 12);
        e.dosDate = Get16(p + 14);
        e.crc = Get32(p + 16);
        e.compressedSize = Get32(p + 20);
        e.uncompressedSize = Get32(p + 24);
        e.externalAttributes = Get32(p + 38);
        e.localHeaderOffset = Get32(p + 42) + shift;
        e.storedName.assign(reinterpret_cast<const char*>(p + kZipCentralHeaderSize), nameLength);
        entries.push_back(std::move(e));
        at += kZipCentralHeaderSize + variable;
    }
    return true;
}

// Drops what is in front of the first separator-enclosed "..", the only
// spellings the stored name may use to climb.
bool DropClimb(std::wstring& name) {
    static constexpr std::wstring_view kClimbs[] = {L"\\..\\", L"\\../", L"/../", L"/..\\"};
    std::size_t first = std::wstring::npos;
    for (std::wstring_view climb : kClimbs) first = std::min(first, name.find(climb));
    if (first == std::wstring::npos) return false;
    name.erase(0, first + 4);
    return true;
}

}  // namespace

ZipResult ReadCentralDirectory(ByteSource& source, std::vector<CentralEntry>& entries) {
    EndRecord end;
    std::uint64_t shift = 0;
    if (!FindEndRecord(source, end) || !DirectoryShift(source, end, shift)) return ZipResult::CannotOpen;
    std::vector<unsigned char> bytes(end.directorySize);
    if (!source.ReadAt(end.directoryOffset + shift, bytes.data(), bytes.size())) return ZipResult::CannotOpen;
    if (!ParseDirectory(bytes, end.entryCount, shift, entries)) return ZipResult::CannotOpen;
    return ZipResult::Ok;
}

ZipResult ReadLocalHeader(ByteSource& source, const CentralEntry& entry, LocalHeader& header) {
    unsigned char fixed[kZipLocalHeaderSize];
    if (!source.ReadAt(entry.localHeaderOffset, fixed, sizeof fixed) || Get32(fixed) != kZipLocalSignature)
        return ZipResult::BadHeader;
    const std::uint16_t nameLength = Get16(fixed + 26);
    const std::uint16_t extraLength = Get16(fixed + 28);
    std::string extra(extraLength, '\0');
    if (!source.ReadAt(entry.localHeaderOffset + kZipLocalHeaderSize + nameLength, extra.data(), extra.size()))
        return ZipResult::BadHeader;
    header.dataOffset = entry.localHeaderOffset + kZipLocalHeaderSize + nameLength + extraLength;
    header.extra = std::move(extra);
    return ZipResult::Ok;
}

std::wstring SafeEntryName(std::wstring name) {
    // Windows sees a name only up to its first NUL; so must the checks.
    name.resize(std::min(name.size(), name.find(L'\0')));
    for (bool changed = true; changed;) {
        changed = false;
        if (name.size() >= 2 && name[1] == L':') {
            name.erase(0, 2);
            changed = true;
        }
        if (!name.empty() && IsZipSeparator(name[0])) {
            name.erase(0, 1);
            changed = true;
        }
        if (DropClimb(name)) changed = true;
        // A name that itself begins with ".." climbs without a separator in
        // front of it.
        if (name.size() >= 3 && name.compare(0, 2, L"..") == 0 && IsZipSeparator(name[2])) {
            name.erase(0, 3);
            changed = true;
        }
        if (name == L"..") {
            name.clear();
            changed = true;
        }
    }
    return name;
}

ExtendedTimes ReadExtendedTimestamp(std::string_view extra) {
    ExtendedTimes times;
    const auto* bytes = reinterpret_cast<const unsigned char*>(extra.data());
    std::size_t at = 0;
    while (extra.size() - at >= 4) {
        const std::uint16_t tag = Get16(bytes + at);
        const std::size_t length = Get16(bytes + at + 2);
        if (extra.size() - at - 4 < length) return times;
        const unsigned char* data = bytes + at + 4;
        if (tag == kZipExtendedTimestampTag && length >= 1) {
            std::size_t next = 1;
            for (int bit = 0; bit < 3; ++bit) {
                if (!(data[0] & (1 << bit))) continue;
                if (length - next < 4) break;
                times.seconds[bit] = static_cast<std::int32_t>(Get32(data + next));
                next += 4;
            }
        }
        at += 4 + length;
    }
    return times;
}

}  // namespace mf
