// The text of a ".lan" language file read into sections of English texts
// and their translations, without the system. A language file beside the
// engine is anybody's to edit, so this part takes no system header and also
// runs natively under a fuzzer; Language (language.h) holds the table.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace mf {

using LanguageSections = std::map<std::wstring, std::map<std::wstring, std::wstring>>;

// Adds the entries of a language text (entries replace earlier ones).
void ReadLanguageText(std::wstring_view text, LanguageSections& sections);

// A language file's bytes as text: the ANSI code page, each line read up to
// its 1024th byte, as the file format allows.
std::wstring ReadLanguageBytes(std::string_view bytes);

// The translation, or the text itself when there is none.
[[nodiscard]] std::wstring TranslateIn(const LanguageSections& sections, const std::wstring& section,
                                       const std::wstring& text);

}  // namespace mf
