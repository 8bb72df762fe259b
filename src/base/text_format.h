// printf-style formatting of texts that may come from a language file.
//
// A translation is a format string written by somebody else: before it is
// used its placeholders (conversion, width and precision) are compared with
// those of the English text, and the English text is used when they differ.
// Arguments are typed, so a wrong or missing argument shows the placeholder
// itself instead of reading the stack, and an integer is formatted at its
// own width whatever length the placeholder names ("%ld" with a 64-bit
// value shows all of it; "%u" with -1 shows 4294967295 as printf would); a width or precision above
// kMaxFieldWidth is no placeholder at all, so no text can ask for gigabytes
// of padding.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace mf {

class FormatArg {
public:
    enum class Kind { Signed, Unsigned, Real, Text };

    template <class T, std::enable_if_t<std::is_integral_v<T> && std::is_signed_v<T>, int> = 0>
    FormatArg(T v) : kind_(Kind::Signed), wide_(sizeof(T) > 4), i_(v) {}
    template <class T, std::enable_if_t<std::is_integral_v<T> && std::is_unsigned_v<T>, int> = 0>
    FormatArg(T v) : kind_(Kind::Unsigned), wide_(sizeof(T) > 4), u_(v) {}
    FormatArg(double v) : kind_(Kind::Real), d_(v) {}
    FormatArg(const wchar_t* v)
        : kind_(Kind::Text), s_(v != nullptr ? std::wstring_view(v) : std::wstring_view(L"(null)")) {}
    FormatArg(const std::wstring& v) : kind_(Kind::Text), s_(v) {}
    FormatArg(std::wstring_view v) : kind_(Kind::Text), s_(v) {}

    [[nodiscard]] Kind kind() const { return kind_; }
    // An integer of more than 32 bits.
    [[nodiscard]] bool wide() const { return wide_; }
    [[nodiscard]] std::int64_t asSigned() const { return kind_ == Kind::Unsigned ? static_cast<std::int64_t>(u_) : i_; }
    [[nodiscard]] std::uint64_t asUnsigned() const {
        return kind_ == Kind::Signed ? static_cast<std::uint64_t>(i_) : u_;
    }
    [[nodiscard]] double asReal() const { return d_; }
    [[nodiscard]] std::wstring_view asText() const { return s_; }

private:
    Kind kind_;
    bool wide_ = false;
    std::int64_t i_ = 0;
    std::uint64_t u_ = 0;
    double d_ = 0;
    std::wstring_view s_;
};

inline constexpr unsigned long kMaxFieldWidth = 256;

// The placeholders of a format string in order: conversion letter,
// normalised ("i" as "d", "S" as "s"), with its width and precision, "%%"
// left out. Flags do not count, so "%-5d %s" and "%5d%s" agree, while
// "%5d" and "%d" do not. An unusable placeholder shows as "?".
std::wstring PlaceholderSignature(std::wstring_view format);

// True when the translation may be formatted with the English text's
// arguments.
bool SamePlaceholders(std::wstring_view english, std::wstring_view translated);

std::wstring FormatArgs(std::wstring_view format, std::initializer_list<FormatArg> args);

template <class... Args>
std::wstring Format(std::wstring_view format, const Args&... args) {
    return FormatArgs(format, {FormatArg(args)...});
}

// Formats the translation when its placeholders match the English text's,
// and the English text otherwise.
template <class... Args>
std::wstring FormatTranslated(std::wstring_view english, std::wstring_view translated, const Args&... args) {
    return FormatArgs(SamePlaceholders(english, translated) ? translated : english, {FormatArg(args)...});
}

}  // namespace mf
