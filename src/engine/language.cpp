#include "engine/language.h"

#include <fstream>
#include <sstream>

#include "base/resources.h"
#include "engine/language_text.h"

namespace mf {

void Language::LoadText(std::wstring_view text) { ReadLanguageText(text, sections_); }

bool Language::LoadFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) return false;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    LoadText(ReadLanguageBytes(bytes.str()));
    return true;
}

bool Language::LoadResource(HMODULE module, int id) {
    const std::string_view bytes = ResourceBytes(module, L"LANGUAGE", id);
    if (!bytes.empty()) LoadText(ReadLanguageBytes(bytes));
    return true;
}

std::wstring Language::Translate(const std::wstring& section, const std::wstring& text) const {
    return TranslateIn(sections_, section, text);
}

void Language::TranslateWindow(HWND window, const std::wstring& section) const {
    auto translateOne = [&](HWND w) {
        wchar_t buffer[1024] = {};
        ::GetWindowTextW(w, buffer, 1024);
        const std::wstring translated = Translate(section, buffer);
        if (translated != buffer) ::SetWindowTextW(w, translated.c_str());
    };
    translateOne(window);
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        translateOne(child);
    }
}

}  // namespace mf
