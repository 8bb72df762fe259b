// The zip variant of a published file: an archive of exactly one deflated
// entry, written by hand around zlib's raw deflate so that the headers are
// what both Info-ZIP and the engine's reader expect (sizes and CRC-32 in the
// local header, no data descriptor, UTF-8 names flagged as such).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace mf::publish {

struct ZipEntryFacts {
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t size = 0;
    std::wstring name;

    friend bool operator==(const ZipEntryFacts&, const ZipEntryFacts&) = default;
};

// Writes `target` (replacing it) as an archive whose one entry, `entryName`,
// holds the bytes of `source`, deflated at the best level, dated `modified`
// (DOS time in local time plus an extended timestamp in UTC). The source must
// be smaller than 4 GiB. On failure `error` says why and no target is left.
bool WriteSingleEntryZip(const std::wstring& source, const std::wstring& target, const std::wstring& entryName,
                         const FILETIME& modified, ZipEntryFacts& facts, std::wstring& error);

// What an archive written by WriteSingleEntryZip holds, read from its end
// record and central directory. False when the file is not such an archive.
bool ReadSingleEntryFacts(const std::wstring& archive, ZipEntryFacts& facts);

}  // namespace mf::publish
