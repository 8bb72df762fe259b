// The zip writer of the tools: an archive written at the current end of an
// open file, entry by entry. Each entry's data is deflated at the best level
// as it is read; its local header is written first and completed with the
// CRC-32 and sizes afterwards (no data descriptor), and Finish writes the
// central directory and the end record. Names are "/"-separated, UTF-8
// (flagged as such when not plain ASCII); each entry carries its time as a
// DOS time (local) and an extended timestamp (UTC). Offsets count from the
// archive's first byte, so an archive appended to another file can be cut
// out of it. No ZIP64: every size and offset stays below 4 GiB.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mf {

// What the writer put into the archive for one entry.
struct ZipWrittenEntry {
    std::wstring name;  // as given
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t size = 0;
};

class ZipWriter {
public:
    // Writes at the current end of `file`, which stays the caller's.
    explicit ZipWriter(HANDLE file);
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Adds the contents of a file under `name` ("\" becomes "/"), dated
    // `modified` or, without it, the file's modification time.
    bool AddFile(const std::wstring& name, const std::wstring& sourcePath,
                 std::optional<FILETIME> modified = std::nullopt);
    // Adds bytes from memory, dated now.
    bool AddBytes(const std::wstring& name, std::string_view bytes);
    // Writes the central directory and the end record.
    bool Finish();

    // The archive's length so far.
    [[nodiscard]] std::int64_t Length() const { return position_; }
    // Why the first failure happened; empty while nothing failed.
    [[nodiscard]] const std::wstring& Error() const { return error_; }
    [[nodiscard]] const ZipWrittenEntry& LastEntry() const { return entries_.back().written; }

private:
    struct Entry {
        ZipWrittenEntry written;
        std::string name;   // UTF-8, "/"-separated
        std::string extra;  // the extended timestamp, when the time has one
        std::uint16_t flags = 0;
        std::uint16_t dosTime = 0;
        std::uint16_t dosDate = 0;
        std::uint32_t headerOffset = 0;
    };
    class Deflater;

    bool Begin(const std::wstring& name, const FILETIME& modified, Entry& entry);
    bool Complete(Entry& entry, const Deflater& deflater);
    bool Write(const void* data, std::size_t size);
    bool Fail(std::wstring what);

    HANDLE file_;
    std::int64_t start_ = 0;     // file offset of the archive's first byte
    std::int64_t position_ = 0;  // bytes of the archive written so far
    std::vector<Entry> entries_;
    std::wstring error_;
};

}  // namespace mf
