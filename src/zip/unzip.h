// The engine's zip reader: opens an archive from a file, an open file handle
// or a memory block, describes its entries and extracts them to files or,
// piece by piece, into a caller's buffer. Every call also stores its result
// as the process-wide last result (LastZipResult).
//
// A handle is used by one thread at a time. Extracted data is only reported
// complete (Ok) after its size and CRC-32 have been checked.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/handles.h"
#include "zip/zip_directory.h"
#include "zip/zip_result.h"

namespace mf {

struct ZipArchive;
using ZipHandle = ZipArchive*;

// The password is an 8-bit text (copied); none for archives without
// encryption. On failure the result is null and LastZipResult() says why.
// From a file name: opened for reading, shared for reading.
[[nodiscard]] ZipHandle OpenZip(const std::wstring& fileName, std::optional<std::string_view> password = std::nullopt);
// From an open file: the archive starts at the handle's current position;
// the handle stays the caller's and must outlive the archive handle.
[[nodiscard]] ZipHandle OpenZip(HANDLE file, std::optional<std::string_view> password = std::nullopt);
// From memory: the block stays the caller's and must outlive the handle.
[[nodiscard]] ZipHandle OpenZip(const void* data, std::size_t length,
                                std::optional<std::string_view> password = std::nullopt);

// Describes entry `index`; index -1 sets only entry.index, to the number of
// entries.
ZipResult GetZipItem(ZipHandle zip, int index, ZipEntry& entry);

// Finds the entry with the given (safe) name; BadArguments when there is none.
ZipResult FindZipItem(ZipHandle zip, std::wstring_view name, bool ignoreCase, ZipEntry& entry);

// Extracts entry `index` to `target`: a folder entry creates the folder, a
// file entry creates its folders and writes the file with the entry's
// attributes and times. A relative target lies below the folder that was
// current when the archive was opened. A file that could not be completed
// is removed, so no damaged file is left under the target's name.
ZipResult UnzipItemToFile(ZipHandle zip, int index, const std::wstring& target);

// Copies the next up to `size` bytes of entry `index` into `buffer`: More
// while data follows (call again with the same index), Ok with the last
// piece. `produced`, when given, receives the number of bytes written.
ZipResult UnzipItemToBuffer(ZipHandle zip, int index, void* buffer, std::size_t size,
                            std::size_t* produced = nullptr);

ZipResult CloseZip(ZipHandle zip);

namespace traits {
struct Zip {
    using Type = ZipHandle;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { CloseZip(h); }
};
}  // namespace traits

// An open archive, closed on every path.
using UniqueZip = UniqueResource<traits::Zip>;

}  // namespace mf
