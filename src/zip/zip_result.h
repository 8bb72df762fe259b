// Result codes of the zip reader. Every call of the public interface also
// stores its code as the process-wide last result, for callers that only
// keep a handle around and ask afterwards what went wrong.
#pragma once

#include <cstdint>

namespace mf {

enum class ZipResult : std::uint32_t {
    Ok = 0,
    CannotOpen = 0x200,          // archive not openable, not a zip, or output file not creatable
    WriteFailed = 0x400,         // writing the output file failed
    More = 0x600,                // buffer extraction: buffer full, call again for more
    BadHeader = 0x700,           // the entry's header cannot be read
    ReadFailed = 0x800,          // reading the archive failed
    WrongPassword = 0x1000,      // missing or wrong password for an encrypted entry
    BadArguments = 0x10000,      // index out of range, no handle, unknown source kind
    NotUnzipHandle = 0x80000,    // the handle is not (or no longer) an open unzip handle
    AlreadyOpen = 0x1000000,     // the handle is already open
    CannotSeek = 0x2000000,      // the given file handle cannot be positioned
    DataError = 0x5000000,       // decompression failed, sizes or CRC-32 do not match
};

// The code of the last call of the zip interface made by any thread.
[[nodiscard]] ZipResult LastZipResult();

// Stores `code` as the last result and returns it.
ZipResult SetLastZipResult(ZipResult code);
// Back to Ok, as in a process that has not used the reader yet.
void ResetLastZipResult();

}  // namespace mf
