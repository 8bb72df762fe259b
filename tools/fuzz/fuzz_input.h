// Turning a fuzzer's bytes into the inputs the parsers take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mf::fuzz {

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Text as the engine holds it: UTF-16 code units, little-endian pairs of
// bytes (a last odd byte is dropped). On Linux wchar_t has 32 bits; every
// unit stays below 0x10000, as it would on Windows.
inline std::wstring Utf16Text(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    text.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    return text;
}

// Text that came as single bytes (header values, ANSI replies), one
// character a byte: seed files stay readable.
inline std::wstring ByteText(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    text.reserve(size);
    for (std::size_t i = 0; i < size; ++i) text.push_back(static_cast<wchar_t>(data[i]));
    return text;
}

// Stops the run with a report, for a result that breaks the parser's own
// promise (libFuzzer keeps the input as a crash).
[[noreturn]] void Broken(const char* what);

}  // namespace mf::fuzz
