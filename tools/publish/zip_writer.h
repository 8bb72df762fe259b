// The zip variant of a published file: an archive of exactly one entry,
// written by the tools' zip writer (src/zip), and what an earlier variant
// holds, read by the engine's own zip reader.
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
// holds the bytes of `source`, dated `modified`. The source must be smaller
// than 4 GiB. On failure `error` says why and no target is left.
bool WriteSingleEntryZip(const std::wstring& source, const std::wstring& target, const std::wstring& entryName,
                         const FILETIME& modified, ZipEntryFacts& facts, std::wstring& error);

// What an archive of exactly one entry holds, as the engine's reader sees
// it. False when the file is no such archive (or is damaged).
bool ReadSingleEntryFacts(const std::wstring& archive, ZipEntryFacts& facts);

}  // namespace mf::publish
