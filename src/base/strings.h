// Wide-string helpers. Text is UTF-16 inside the engine; Narrow and Widen are
// the only conversions, used where text meets files and the network.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mf {

enum class CodePage : unsigned {
    Ansi,  // the calling thread's ANSI code page (files for people and ini files)
    Utf8,
};

std::wstring Widen(std::string_view bytes, CodePage page = CodePage::Ansi);
std::string Narrow(std::wstring_view text, CodePage page = CodePage::Ansi);

std::wstring ToLower(std::wstring_view text);
// The same as ToLower and Trim, without a new string.
void LowerInPlace(std::wstring& text);
void TrimInPlace(std::wstring& text);
std::wstring ToUpper(std::wstring_view text);
std::wstring Trim(std::wstring_view text);
std::wstring TrimRight(std::wstring_view text);
bool IsSpace(wchar_t c);

// Replaces every non-overlapping occurrence, scanning left to right; returns
// the number of replacements.
std::size_t ReplaceAll(std::wstring& text, std::wstring_view from, std::wstring_view to);
std::wstring Replaced(std::wstring text, std::wstring_view from, std::wstring_view to);

// Every "\\" becomes "\" in one left-to-right pass.
std::wstring ReduceBackslashes(std::wstring text);

bool StartsWith(std::wstring_view text, std::wstring_view prefix);
bool EndsWith(std::wstring_view text, std::wstring_view suffix);
bool Contains(std::wstring_view text, std::wstring_view part);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// Suffix test of the engine: the lower-cased name followed by "*#06#" is
// searched for the lower-cased suffix followed by "*#06#".
bool EndsWithNoCase(std::wstring_view name, std::wstring_view suffix);

std::vector<std::wstring> Split(std::wstring_view text, wchar_t separator);

// The usual decimal conversion: optional white space and sign, then leading
// digits; 0 when there are none. Saturates instead of overflowing.
long ParseLong(std::wstring_view text);
std::int64_t ParseInt64(std::wstring_view text);

std::wstring ToWString(long long value);

// The yes/no rule of the configuration: lower-case, trim, "t" and "y" become
// "1"; yes when the result begins with "1".
bool IsYes(std::wstring_view text);

}  // namespace mf
