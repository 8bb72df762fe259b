// The rules of the install phase that need no file system or window: the
// names a file in use is moved aside to, how a list command is read and
// reported, the desktop shortcut name rule, the parameters of the rights
// tool and the names of the lists and temporary files.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mf {

// Text in, text out: path macros, or a configuration key's value.
using TextMap = std::function<std::wstring(const std::wstring&)>;

// The names tried, in order, for a file that cannot be deleted: ".__old",
// then ".__old0" ... ".__old9".
[[nodiscard]] std::vector<std::wstring> BackupNames(const std::wstring& target);

// The wait flag of a list command: lower-cased, every "y", "t" and "o"
// counted as "1"; it waits when it then holds a "1" ("no" waits as well).
[[nodiscard]] bool CommandWaits(std::wstring_view flag);

// A list command ready to run.
struct ListCommand {
    std::wstring path;
    std::wstring parameters;
    bool wait = false;
};

// Splits the joined command first and expands each field afterwards, so
// that a "9" that a macro brings in (a folder name) stays part of its field.
[[nodiscard]] ListCommand ParseListCommand(std::wstring_view joined, const TextMap& expand);

// The label followed by "[path][parameters][wait]" ("nowait"), with every
// empty "[]" left out.
[[nodiscard]] std::wstring ListCommandLine(const std::wstring& label, const ListCommand& command);

// A shortcut on a desktop whose name holds "{key}" is named after the
// value of that key (section APPLICATION): everything up to and including
// the "\Desktop\" folder, then the value. Other links stay as they are.
[[nodiscard]] std::wstring DesktopShortcutPath(const std::wstring& link, const TextMap& readApplicationKey);

// The second place the new list may be in: ".xml.xml" read as ".xml", or
// the name with ".xml" added.
[[nodiscard]] std::wstring SecondListPath(const std::wstring& listPath);

// Parameters of "icacls.exe" granting the Users group delete and write-DAC
// rights on the path. The path is quoted as it is: an apostrophe in a
// file name stays an apostrophe.
[[nodiscard]] std::wstring GrantParameters(const std::wstring& path);

// The path as the log shows it: the installation folder left out.
[[nodiscard]] std::wstring DisplayPath(std::wstring path, const std::wstring& installFolder);

// Where a copy is written before it is renamed to its target, so that an
// interrupted copy never stands under the target's name.
[[nodiscard]] std::wstring TemporaryNameBeside(const std::wstring& target);

// A path in a folder: a relative path joined with one backslash, slashes
// turned into backslashes, doubled backslashes reduced; an absolute path
// used as it is.
[[nodiscard]] std::wstring JoinFolderPath(const std::wstring& folder, const std::wstring& path);

// Value of an attribute by exact name; empty when it is missing.
using AttributeLookup = std::function<std::wstring(const wchar_t* name)>;

// The identity of a "file" element of an update list: its path as the list
// reader stores it (the first non-empty of the path attribute forms, or
// taken from its URL; "|" as "\", "._.zip" left out, trimmed).
[[nodiscard]] std::wstring FileEntryPath(const AttributeLookup& attribute);

}  // namespace mf
