#include "support/engine_ini.h"

#include <algorithm>

#include "base/strings.h"
#include "support/test_support.h"

namespace mf::test {

EngineIni::Section& EngineIni::SectionNamed(std::wstring_view name) {
    for (Section& section : sections_) {
        if (section.name == name) return section;
    }
    sections_.push_back(Section{std::wstring(name), {}});
    return sections_.back();
}

EngineIni& EngineIni::Set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    Section& target = SectionNamed(section);
    if (key.empty()) return *this;
    for (auto& [name, old] : target.keys) {
        if (name == key) {
            old = value;
            return *this;
        }
    }
    target.keys.emplace_back(std::wstring(key), std::wstring(value));
    return *this;
}

EngineIni& EngineIni::Set(std::wstring_view section, std::wstring_view key, long long value) {
    return Set(section, key, std::to_wstring(value));
}

EngineIni& EngineIni::Lines(std::wstring_view section, const std::vector<std::wstring>& keyValueLines) {
    SectionNamed(section);
    for (const std::wstring& line : keyValueLines) {
        const std::size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) {
            Set(section, line, L"");
        } else {
            Set(section, std::wstring_view(line).substr(0, equals), std::wstring_view(line).substr(equals + 1));
        }
    }
    return *this;
}

EngineIni& EngineIni::Remove(std::wstring_view section, std::wstring_view key) {
    for (Section& s : sections_) {
        if (s.name != section) continue;
        std::erase_if(s.keys, [&](const auto& entry) { return entry.first == key; });
    }
    return *this;
}

std::wstring EngineIni::WideText() const {
    std::wstring text;
    for (const Section& section : sections_) {
        text += L"[" + section.name + L"]\r\n";
        for (const auto& [key, value] : section.keys) text += key + L"=" + value + L"\r\n";
    }
    return text;
}

std::string EngineIni::Text() const { return Narrow(WideText()); }

bool EngineIni::WriteTo(const std::wstring& path) const { return WriteFileBytes(path, Text()); }

}  // namespace mf::test
