#include "zip/byte_source.h"

#include <cstring>

namespace mf {

bool MemorySource::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) {
    if (offset > length_ || length > length_ - offset) return false;
    if (length != 0) std::memcpy(buffer, data_ + offset, length);
    return true;
}

}  // namespace mf
