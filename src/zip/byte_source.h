// Where an archive's bytes come from. The container parser only ever asks
// for a range at an offset, so it works the same on a memory block as on a
// file, and every read is checked against the end of the archive. No
// system header: the container parser builds natively too (file_source.h
// reads files on Windows).
#pragma once

#include <cstddef>
#include <cstdint>

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

}  // namespace mf
