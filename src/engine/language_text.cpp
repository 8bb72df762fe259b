#include "engine/language_text.h"

#include "base/strings.h"

namespace mf {

void ReadLanguageText(std::wstring_view text, LanguageSections& sections) {
    std::map<std::wstring, std::wstring>* open = nullptr;
    for (std::wstring& raw : Split(text, L'\n')) {
        std::wstring line = TrimRight(raw);
        if (line.empty() || line[0] == L';' || line[0] == L'\'') continue;
        if (StartsWith(line, L"//") || StartsWith(line, L"\\\\") || line.size() < 4) continue;
        if (line.front() == L'[' && line.back() == L']') {
            open = &sections[line.substr(1, line.size() - 2)];
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

std::wstring TranslateIn(const LanguageSections& sections, const std::wstring& section, const std::wstring& text) {
    const auto s = sections.find(section);
    if (s == sections.end()) return text;
    const auto t = s->second.find(text);
    if (t == s->second.end() || t->second.empty()) return text;
    return t->second;
}

}  // namespace mf
