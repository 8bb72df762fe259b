#include "check/url_text.h"

#include <windows.h>

#include <cstdio>

#include "base/strings.h"

namespace mf {

namespace {

void AppendEscaped(std::wstring& out, unsigned byte) {
    wchar_t buffer[4] = {};
    std::swprintf(buffer, 4, L"%%%02X", byte & 0xFFu);
    out += buffer;
}

bool StaysAsIs(wchar_t c) {
    if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9')) return true;
    return std::wstring_view(L"$&+,./:;=?@-_!*()'%").find(c) != std::wstring_view::npos;
}

// The UTF-8 bytes of the character at text[i]; a surrogate pair is one
// character, so that characters beyond the basic plane survive. Returns the
// code units taken.
std::size_t AppendUtf8(std::wstring& out, std::wstring_view text, std::size_t i) {
    const std::size_t units =
        (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) ? 2 : 1;
    const std::string bytes = Narrow(text.substr(i, units), CodePage::Utf8);
    for (const char byte : bytes) AppendEscaped(out, static_cast<unsigned char>(byte));
    return units;
}

}  // namespace

std::wstring EncodeUrlText(std::wstring_view input) {
    std::wstring text(input);
    ReplaceAll(text, L"%", L"%25");
    for (const wchar_t c : std::wstring_view(L" \"<>#{}|\\^~[]`+")) {
        std::wstring escaped;
        AppendEscaped(escaped, c);
        ReplaceAll(text, std::wstring(1, c), escaped);
    }
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (StaysAsIs(text[i])) {
            out += text[i++];
        } else {
            i += AppendUtf8(out, text, i);
        }
    }
    return out;
}

}  // namespace mf
