#include "list/list_archive.h"

namespace mf {

void ListArchive::WriteInt(std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<char>((u >> shift) & 0xFF));
}

void ListArchive::WriteString(std::wstring_view text) {
    WriteInt(static_cast<std::int32_t>(text.size()));
    for (wchar_t c : text) {
        const auto u = static_cast<std::uint16_t>(c);
        bytes_.push_back(static_cast<char>(u & 0xFF));
        bytes_.push_back(static_cast<char>(u >> 8));
    }
}

bool ListArchive::ReadInt(std::int32_t& value) {
    if (failed_ || Remaining() < 4) {
        failed_ = true;
        return false;
    }
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[position_ + i])) << (8 * i);
    position_ += 4;
    value = static_cast<std::int32_t>(u);
    return true;
}

bool ListArchive::ReadString(std::wstring& text) {
    const std::size_t start = position_;
    std::int32_t length = 0;
    if (!ReadInt(length)) return false;
    // A length the rest of the stream cannot hold means a damaged file; it
    // must not turn into a huge allocation.
    if (length < 0 || static_cast<std::size_t>(length) > Remaining() / 2) {
        position_ = start;
        failed_ = true;
        return false;
    }
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto lo = static_cast<unsigned char>(bytes_[position_ + 2 * i]);
        const auto hi = static_cast<unsigned char>(bytes_[position_ + 2 * i + 1]);
        out[i] = static_cast<wchar_t>(lo | (hi << 8));
    }
    position_ += 2 * out.size();
    text = std::move(out);
    return true;
}

}  // namespace mf
