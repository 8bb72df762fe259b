// The text of an engine configuration, as a test writes it into
// mirefold.ini or brands it into a copy of the engine: sections in the order
// they are first named, keys in the order they are first set.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mf::test {

class EngineIni {
public:
    // Sets a key (replacing an earlier value of the same key); an empty
    // section is created by naming it with an empty key.
    EngineIni& Set(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    EngineIni& Set(std::wstring_view section, std::wstring_view key, long long value);
    // Sets "key=value" lines, as a test lists them.
    EngineIni& Lines(std::wstring_view section, const std::vector<std::wstring>& keyValueLines);
    // Removes a key; nothing when it is not set.
    EngineIni& Remove(std::wstring_view section, std::wstring_view key);

    // The file text, lines ended by CR LF, in the ANSI code page the engine's
    // profile reader uses.
    [[nodiscard]] std::string Text() const;
    [[nodiscard]] std::wstring WideText() const;
    // Writes the text to `path` (folders made as needed).
    bool WriteTo(const std::wstring& path) const;

private:
    struct Section {
        std::wstring name;
        std::vector<std::pair<std::wstring, std::wstring>> keys;
    };
    Section& SectionNamed(std::wstring_view name);

    std::vector<Section> sections_;
};

}  // namespace mf::test
