#include "engine/language.h"

#include <fstream>
#include <sstream>

#include "base/resources.h"
#include "base/strings.h"

namespace mf {

void Language::LoadText(std::wstring_view text) {
    std::map<std::wstring, std::wstring>* open = nullptr;
    for (std::wstring& raw : Split(text, L'\n')) {
        std::wstring line = TrimRight(raw);
        if (line.empty() || line[0] == L';' || line[0] == L'\'') continue;
        if (StartsWith(line, L"//") || StartsWith(line, L"\\\\") || line.size() < 4) continue;
        if (line.front() == L'[' && line.back() == L']') {
            open = &sections_[line.substr(1, line.size() - 2)];
            continue;
        }
        if (open == nullptr) continue;
        ReplaceAll(line, L"\\t", L"\t");
        ReplaceAll(line, L"\\n", L"\n");
        const std::size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) continue;
        (*open)[line.substr(0, equals)] = line.substr(equals + 1);
    }
}

namespace {

// Lines of at most 1024 bytes, as the file format allows.
std::wstring ReadLanguageBytes(std::string_view bytes) {
    std::string clipped;
    clipped.reserve(bytes.size());
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i <= bytes.size(); ++i) {
        if (i == bytes.size() || bytes[i] == '\n') {
            std::string_view line = bytes.substr(lineStart, i - lineStart);
            if (line.size() > 1024) line = line.substr(0, 1024);
            clipped.append(line);
            if (i < bytes.size()) clipped += '\n';
            lineStart = i + 1;
        }
    }
    return Widen(clipped);
}

}  // namespace

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
    const auto s = sections_.find(section);
    if (s == sections_.end()) return text;
    const auto t = s->second.find(text);
    if (t == s->second.end() || t->second.empty()) return text;
    return t->second;
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
