#include "net/url_text.h"

#include <cwctype>

#include "base/strings.h"
#include "base/text_format.h"

namespace mf {
namespace {

constexpr std::wstring_view kAlwaysEscaped = L" \"<>#{}|\\^~[]`+";
constexpr std::wstring_view kUrlSafe = L"$&+,./:;=?@-_!*()'%";

bool IsUrlSafe(wchar_t c) {
    if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9')) return true;
    return kUrlSafe.find(c) != std::wstring_view::npos;
}

std::wstring Escaped(std::string_view bytes) {
    std::wstring out;
    for (unsigned char b : bytes) out += Format(L"%%%02X", static_cast<unsigned>(b));
    return out;
}

}  // namespace

std::wstring EncodeUrlText(std::wstring_view text) {
    std::wstring out = Replaced(std::wstring(text), L"%", L"%25");
    for (wchar_t c : kAlwaysEscaped) {
        ReplaceAll(out, std::wstring(1, c), Format(L"%%%02X", static_cast<unsigned>(c)));
    }
    // Every remaining character outside the safe set becomes the escapes of
    // its own UTF-8 bytes (a surrogate pair as one character), and every
    // later occurrence of it is replaced at the same time.
    std::size_t i = 0;
    while (i < out.size()) {
        if (IsUrlSafe(out[i])) {
            ++i;
            continue;
        }
        std::size_t length = 1;
        if (out[i] >= 0xD800 && out[i] <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 &&
            out[i + 1] <= 0xDFFF) {
            length = 2;
        }
        const std::wstring character = out.substr(i, length);
        const std::wstring escaped = Escaped(Narrow(character, CodePage::Utf8));
        std::size_t at = i;
        while (at != std::wstring::npos) {
            out.replace(at, length, escaped);
            at = out.find(character, at + escaped.size());
        }
        i += escaped.size();
    }
    return out;
}

bool IsAsciiText(std::wstring_view text) {
    for (wchar_t c : text) {
        if (c > 0x7F) return false;
    }
    return true;
}

}  // namespace mf
