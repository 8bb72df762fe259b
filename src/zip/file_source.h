// An archive read from a file on disk, through a Windows file handle.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "base/handles.h"
#include "zip/byte_source.h"

namespace mf {

// A file read with explicit offsets from a start position. The source owns
// the handle only when it opened the file itself.
class FileSource final : public ByteSource {
public:
    // Opens `path` for reading with read sharing; the archive starts at 0.
    [[nodiscard]] static bool Open(const wchar_t* path, FileSource& out);
    // Borrows `file`; the archive starts at the handle's current position.
    // False when the handle's position or size cannot be read.
    [[nodiscard]] static bool Borrow(HANDLE file, FileSource& out);

    FileSource() = default;
    [[nodiscard]] std::uint64_t Size() const override { return size_; }
    [[nodiscard]] bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) override;

private:
    [[nodiscard]] bool Measure();

    UniqueFile owned_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::uint64_t start_ = 0;
    std::uint64_t size_ = 0;
};

}  // namespace mf
