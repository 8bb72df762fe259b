// The joined text of a list command: program path, parameters, wait flag and
// key, separated by the digit "9".
//
// The joined text is also the identity by which a command of the server list
// is matched with the same command of the installed list, so its form must
// stay as it always was: "x.exe", "-s", "1", "k7" join to "x.exe9-s919k7".
// A field that itself holds the digit 9 (C:\Tools\7zip9\setup.exe, "-v9")
// would be cut apart at that digit, so inside a field every "9" is stored as
// U+001F instead. XML cannot carry that character (not even as a character
// reference), so it never comes from a list and the joined text stays
// unambiguous; texts without a 9 in a field are unchanged.
//
// Split before expanding path macros: an expanded folder may contain a 9.
#pragma once

#include <string>
#include <string_view>

namespace mf {

inline constexpr wchar_t kCommandSeparator = L'9';
inline constexpr wchar_t kCommandNine = L'\x1F';  // a "9" inside a field

struct RunCommandFields {
    std::wstring path;
    std::wstring param;
    std::wstring wait;
    std::wstring key;

    friend bool operator==(const RunCommandFields&, const RunCommandFields&) = default;
};

[[nodiscard]] std::wstring JoinRunCommand(const RunCommandFields& fields);
// Missing fields are empty; text after a fourth separator stays in `key`.
[[nodiscard]] RunCommandFields SplitRunCommand(std::wstring_view joined);

}  // namespace mf
