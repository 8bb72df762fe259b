#include "base/text_format.h"

#include <cstdio>
#include <optional>

namespace mf {

namespace {

struct Placeholder {
    std::wstring flags;
    std::wstring width;
    std::optional<std::wstring> precision;
    wchar_t conversion = 0;
    std::size_t end = 0;  // index after the placeholder
};

bool IsConversion(wchar_t c) { return std::wstring_view(L"diouxXcCsSfFeEgGp").find(c) != std::wstring_view::npos; }

// Widths and precisions this large are no layout: "%4000000000s" from a
// language file would ask for gigabytes of padding. Such a placeholder is
// not one (see kMaxFieldWidth in the header).
bool ReadField(std::wstring_view format, std::size_t& i, std::wstring& digits) {
    while (i < format.size() && format[i] >= L'0' && format[i] <= L'9') {
        digits += format[i++];
        if (digits.size() > 3) return false;
    }
    return digits.empty() || std::wcstoul(digits.c_str(), nullptr, 10) <= kMaxFieldWidth;
}

// Parses the placeholder that starts at format[pos] == '%'. Returns
// nothing for "%%", a '*' width, a width or precision above
// kMaxFieldWidth, or an unknown conversion: such text is copied as it
// stands.
std::optional<Placeholder> ParsePlaceholder(std::wstring_view format, std::size_t pos) {
    Placeholder s;
    std::size_t i = pos + 1;
    while (i < format.size() && std::wstring_view(L"-+ #0").find(format[i]) != std::wstring_view::npos)
        s.flags += format[i++];
    if (!ReadField(format, i, s.width)) return std::nullopt;
    if (i < format.size() && format[i] == L'.') {
        ++i;
        std::wstring p;
        if (!ReadField(format, i, p)) return std::nullopt;
        s.precision = p;
    }
    // Length modifiers: h, hh, l, ll, L, w, z, j, t, I, I32, I64. They are
    // read over, not obeyed: the argument's own width counts (with "l" being
    // 32 bits here, obeying it would cut a 64-bit value).
    for (;;) {
        if (i >= format.size()) return std::nullopt;
        const std::wstring_view rest = format.substr(i);
        if (rest.starts_with(L"I64") || rest.starts_with(L"I32")) {
            i += 3;
        } else if (rest.starts_with(L"ll")) {
            i += 2;
        } else if (std::wstring_view(L"hlLwzjtI").find(format[i]) != std::wstring_view::npos) {
            ++i;
        } else {
            break;
        }
    }
    if (i >= format.size() || !IsConversion(format[i])) return std::nullopt;
    s.conversion = format[i];
    s.end = i + 1;
    return s;
}

wchar_t Normalised(wchar_t c) {
    switch (c) {
        case L'i': return L'd';
        case L'S': return L's';
        case L'C': return L'c';
        case L'F': return L'f';
        default: return c;
    }
}

std::wstring Pad(std::wstring body, const Placeholder& s) {
    const std::size_t width =
        s.width.empty() ? 0 : static_cast<std::size_t>(std::wcstoul(s.width.c_str(), nullptr, 10));
    if (body.size() >= width) return body;
    const bool left = s.flags.find(L'-') != std::wstring::npos;
    const std::wstring fill(width - body.size(), L' ');
    return left ? body + fill : fill + body;
}

std::wstring Numeric(const Placeholder& s, const FormatArg& arg) {
    std::string pattern = "%";
    for (wchar_t f : s.flags) pattern += static_cast<char>(f);
    for (wchar_t w : s.width) pattern += static_cast<char>(w);
    if (s.precision) {
        pattern += '.';
        for (wchar_t p : *s.precision) pattern += static_cast<char>(p);
    }
    char buffer[512];
    const wchar_t c = s.conversion;
    if (c == L'd' || c == L'i') {
        long long v = arg.asSigned();
        if (!arg.wide()) v = static_cast<std::int32_t>(v);
        pattern += "lld";
        std::snprintf(buffer, sizeof buffer, pattern.c_str(), v);
    } else if (c == L'f' || c == L'F' || c == L'e' || c == L'E' || c == L'g' || c == L'G') {
        pattern += static_cast<char>(c);
        std::snprintf(buffer, sizeof buffer, pattern.c_str(), arg.asReal());
    } else {
        unsigned long long v = arg.asUnsigned();
        if (!arg.wide()) v = static_cast<std::uint32_t>(v);
        pattern += "ll";
        pattern += c == L'p' ? 'X' : static_cast<char>(c);
        std::snprintf(buffer, sizeof buffer, pattern.c_str(), v);
    }
    std::wstring out;
    for (const char* p = buffer; *p != 0; ++p) out += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return out;
}

// "05" and "5" are the same width (the "0" is a flag there), "" is none.
std::wstring FieldNumber(const std::wstring& digits) {
    if (digits.empty()) return {};
    return std::to_wstring(std::wcstoul(digits.c_str(), nullptr, 10));
}

bool Accepts(wchar_t conversion, FormatArg::Kind kind) {
    switch (Normalised(conversion)) {
        case L's': return kind == FormatArg::Kind::Text;
        case L'f':
        case L'e':
        case L'E':
        case L'g':
        case L'G': return kind == FormatArg::Kind::Real;
        default: return kind == FormatArg::Kind::Signed || kind == FormatArg::Kind::Unsigned;
    }
}

}  // namespace

std::wstring PlaceholderSignature(std::wstring_view format) {
    std::wstring signature;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%') continue;
        if (i + 1 < format.size() && format[i + 1] == L'%') {
            ++i;
            continue;
        }
        const auto placeholder = ParsePlaceholder(format, i);
        if (!placeholder) {
            // An unusable placeholder ("%*d", a dangling "%") makes the
            // text unusable as a translation.
            signature += L'?';
            continue;
        }
        // Width and precision belong to the layout the English text was
        // written for; a translation keeps them.
        signature += Normalised(placeholder->conversion);
        signature += FieldNumber(placeholder->width);
        if (placeholder->precision) signature += L'.' + FieldNumber(*placeholder->precision);
        i = placeholder->end - 1;
    }
    return signature;
}

bool SamePlaceholders(std::wstring_view english, std::wstring_view translated) {
    return PlaceholderSignature(english) == PlaceholderSignature(translated);
}

std::wstring FormatArgs(std::wstring_view format, std::initializer_list<FormatArg> args) {
    std::wstring out;
    out.reserve(format.size() + 32);
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const wchar_t c = format[i];
        if (c != L'%') {
            out += c;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == L'%') {
            out += L'%';
            ++i;
            continue;
        }
        const auto placeholder = ParsePlaceholder(format, i);
        if (!placeholder || next == args.end() || !Accepts(placeholder->conversion, next->kind())) {
            // Leave the placeholder visible rather than guess.
            const std::size_t end = placeholder ? placeholder->end : i + 1;
            out.append(format.substr(i, end - i));
            i = end - 1;
            continue;
        }
        const FormatArg& arg = *next++;
        const wchar_t conv = Normalised(placeholder->conversion);
        if (conv == L's') {
            std::wstring_view text = arg.asText();
            if (placeholder->precision) {
                const std::size_t max = std::wcstoul(placeholder->precision->c_str(), nullptr, 10);
                if (text.size() > max) text = text.substr(0, max);
            }
            out += Pad(std::wstring(text), *placeholder);
        } else if (conv == L'c') {
            out += Pad(std::wstring(1, static_cast<wchar_t>(arg.asUnsigned())), *placeholder);
        } else {
            out += Numeric(*placeholder, arg);
        }
        i = placeholder->end - 1;
    }
    return out;
}

}  // namespace mf
