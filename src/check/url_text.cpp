#include "check/url_text.h"

#include <objbase.h>

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

// The UTF-8 bytes of the code point at text[i]; a surrogate pair is taken
// as one character, so that characters beyond the basic plane survive.
std::size_t AppendUtf8(std::wstring& out, std::wstring_view text, std::size_t i) {
    const std::size_t units = (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) ? 2 : 1;
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

std::wstring FormatGuidText(const GUID& guid) {
    wchar_t buffer[40] = {};
    std::swprintf(buffer, 40, L"%08lX%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X", static_cast<unsigned long>(guid.Data1),
                  guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                  guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return buffer;
}

std::wstring NewGuidText() {
    GUID guid{};
    if (FAILED(::CoCreateGuid(&guid))) return {};
    return FormatGuidText(guid);
}

}  // namespace mf
