// Path text: the parts of a path, whether it is absolute, and whether a
// relative path stays inside the folder it is relative to. Only FullPath
// asks the system (to normalise a path); nothing here touches a file.
#pragma once

#include <string>
#include <string_view>

namespace mf {

// The folder part without the last separator ("C:\app\a.dll" -> "C:\app");
// empty when the path has no separator.
[[nodiscard]] std::wstring FolderOf(std::wstring_view path);
// What follows the last separator; the whole path when it has none.
[[nodiscard]] std::wstring LastComponent(std::wstring_view path);
// The last component without its extension ("C:\x\mirefold.exe" -> "mirefold").
[[nodiscard]] std::wstring BaseNameOf(std::wstring_view path);
// The folder above a full path, where a drive root keeps its backslash
// ("C:\x" -> "C:\", and "C:\" stays); a path without a backslash is its
// own parent.
[[nodiscard]] std::wstring ParentOf(std::wstring_view path);

// The full path as the system normalises it (no ".", "..", or "/"), without
// trailing backslashes but a drive root's; empty when it cannot be made.
[[nodiscard]] std::wstring FullPath(const std::wstring& path);
// Whether `path` is `folder` or lies below it, compared ignoring case on
// their full paths.
[[nodiscard]] bool IsInside(const std::wstring& path, const std::wstring& folder);

// What a path text is. Only a drive ("X:\"), a UNC name ("\\server\share")
// or the long-path prefix followed by either ("\\?\X:\", "\\?\UNC\") make a
// path absolute. A relative path holds no ":", and an absolute one none
// after its prefix: anything else (a stream name, "C:x", a device name such
// as "\\.\X:") is refused.
enum class PathForm { Relative, Absolute, Refused };
[[nodiscard]] PathForm FormOf(std::wstring_view path);
[[nodiscard]] inline bool IsAbsolutePath(std::wstring_view path) { return FormOf(path) == PathForm::Absolute; }

// Whether a relative path stays below the folder it is relative to: no ".."
// climbs above its start, and no component is made of dots and blanks
// alone other than "." and ".." (the system would read it as something
// else). Both separators count.
[[nodiscard]] bool StaysInside(std::wstring_view relative);

// "/" becomes "\" and every run of backslashes one backslash, except the two
// that begin a UNC or long-path name.
[[nodiscard]] std::wstring CollapseSeparators(std::wstring path);

}  // namespace mf
