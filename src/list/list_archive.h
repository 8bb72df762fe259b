// The byte stream a saved update list is written to and read from:
// little-endian 32-bit integers and UTF-16 strings preceded by their length
// in code units (32 bits, no terminator).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mf {

class ListArchive {
public:
    // An archive for writing.
    ListArchive() = default;
    // An archive that reads the given bytes.
    explicit ListArchive(std::string bytes) : bytes_(std::move(bytes)), loading_(true) {}

    [[nodiscard]] bool IsLoading() const { return loading_; }
    [[nodiscard]] const std::string& Bytes() const { return bytes_; }

    void WriteInt(std::int32_t value);
    void WriteString(std::wstring_view text);

    // False, with nothing consumed, when the stream ends early or a length is
    // impossible; a failed archive stays failed.
    [[nodiscard]] bool ReadInt(std::int32_t& value);
    [[nodiscard]] bool ReadString(std::wstring& text);
    [[nodiscard]] bool Failed() const { return failed_; }

private:
    [[nodiscard]] std::size_t Remaining() const { return bytes_.size() - position_; }

    std::string bytes_;
    std::size_t position_ = 0;
    bool loading_ = false;
    bool failed_ = false;
};

}  // namespace mf
