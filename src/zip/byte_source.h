// Where an archive's bytes come from. The container parser only ever asks
// for a range at an offset, so it works the same on a memory block as on a
// file, and every read is checked against the end of the archive.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "base/handles.h"

namespace mf {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Bytes in the archive (from its start, which need not be the start of
    // the file it lives in).
    [[nodiscard]] virtual std::uint64_t Size() const = 0;
    // Reads exactly `length` bytes at `offset`; false when the range does not
    // lie inside the archive or the read fails.
    [[nodiscard]] virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) = 0;
};

// A memory block owned by the caller, which must outlive the source.
class MemorySource final : public ByteSource {
public:
    MemorySource(const void* data, std::size_t length)
        : data_(static_cast<const unsigned char*>(data)), length_(length) {}
    [[nodiscard]] std::uint64_t Size() const override { return length_; }
    [[nodiscard]] bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) override;

private:
    const unsigned char* data_;
    std::size_t length_;
};

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
