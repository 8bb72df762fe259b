// The native stand-ins for src/base/strings_system.cpp, which asks Windows
// for code-page conversions and letter case. The fuzz targets only need
// conversions that keep every byte and every code unit: a byte is one
// character and back, and letters beyond ASCII go through the C library.
#include <cwctype>

#include "base/strings.h"

namespace mf {

std::wstring Widen(std::string_view bytes, CodePage) {
    std::wstring out;
    out.reserve(bytes.size());
    for (char c : bytes) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return out;
}

std::string Narrow(std::wstring_view text, CodePage) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) out.push_back(static_cast<char>(c & 0xFF));
    return out;
}

void LowerInPlace(std::wstring& text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
}

std::wstring ToUpper(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) c = static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(c)));
    return out;
}

}  // namespace mf
