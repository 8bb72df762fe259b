// The language table: English message texts translated through ".lan" files,
// section by section, with the English text as key.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include <windows.h>

namespace mf {

class Language {
public:
    // Adds the entries of a language text (entries replace earlier ones).
    void LoadText(std::wstring_view text);
    bool LoadFile(const std::wstring& path);
    bool LoadResource(HMODULE module, int id);

    // The translation, or the text itself when there is none.
    [[nodiscard]] std::wstring Translate(const std::wstring& section, const std::wstring& text) const;
    void Clear() { sections_.clear(); }
    [[nodiscard]] bool Empty() const { return sections_.empty(); }

    // Replaces the caption of a window and the texts of its direct children
    // by their translations.
    void TranslateWindow(HWND window, const std::wstring& section) const;

private:
    std::map<std::wstring, std::map<std::wstring, std::wstring>> sections_;
};

namespace language_resource {
inline constexpr int kSimplifiedChinese = 150;
inline constexpr int kTraditionalChinese = 147;
}  // namespace language_resource

}  // namespace mf
