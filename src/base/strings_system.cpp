// The string helpers that ask the system: code-page conversions and letter
// case beyond ASCII. Everything else of base/strings.h is plain C++ in
// strings.cpp, so that the parsers built on it also build without Windows.
#include <windows.h>

#include "base/strings.h"

namespace mf {

namespace {
UINT ToWin(CodePage page) { return page == CodePage::Utf8 ? CP_UTF8 : CP_THREAD_ACP; }
}  // namespace

std::wstring Widen(std::string_view bytes, CodePage page) {
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int n = ::MultiByteToWideChar(ToWin(page), 0, bytes.data(), size, nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(ToWin(page), 0, bytes.data(), size, out.data(), n);
    return out;
}

std::string Narrow(std::wstring_view text, CodePage page) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = ::WideCharToMultiByte(ToWin(page), 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(ToWin(page), 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

void LowerInPlace(std::wstring& text) {
    // CharLowerBuffW maps "A"-"Z" to "a"-"z" in every language (also in
    // Turkish), so ASCII text, the common case of list paths and keys, is
    // lowered here without the call into the system.
    bool ascii = true;
    for (wchar_t& c : text) {
        if (c >= 0x80) {
            ascii = false;
            break;
        }
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    if (!ascii) ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
}

std::wstring ToUpper(std::wstring_view text) {
    std::wstring out(text);
    if (!out.empty()) ::CharUpperBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

}  // namespace mf
