// A zip archive written at the end of an open file, entry by entry: each
// file's data deflated as it is read, its local header completed afterwards,
// the central directory at the end. Offsets count from the archive's start,
// so the archive can be cut out of the file it was appended to.
// No ZIP64: every size and offset must stay below 4 GiB.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mf::pack {

class ZipWriter {
public:
    // Writes at the current end of `file`, which stays the caller's.
    explicit ZipWriter(HANDLE file);

    // Adds the contents of a file under `name` ("/"-separated, UTF-8 in the
    // archive) with the file's modification time.
    bool AddFile(const std::wstring& name, const std::wstring& sourcePath);
    // Adds bytes from memory.
    bool AddBytes(const std::wstring& name, std::string_view bytes);
    // Writes the central directory; the archive's length afterwards.
    bool Finish();

    [[nodiscard]] std::int64_t Length() const { return position_; }
    [[nodiscard]] const std::string& Error() const { return error_; }

private:
    struct Entry {
        std::string name;
        std::uint16_t dosTime = 0;
        std::uint16_t dosDate = 0;
        std::uint32_t crc = 0;
        std::uint32_t compressed = 0;
        std::uint32_t size = 0;
        std::uint32_t headerOffset = 0;
    };
    class Deflater;

    bool Begin(const std::wstring& name, const FILETIME& modified, Entry& entry);
    bool Complete(Entry& entry, Deflater& deflater);
    bool Write(const void* data, std::size_t size);
    bool Fail(std::string what);

    HANDLE file_;
    std::int64_t start_ = 0;     // file offset of the archive's first byte
    std::int64_t position_ = 0;  // bytes of the archive written so far
    std::vector<Entry> entries_;
    std::string error_;
};

}  // namespace mf::pack
