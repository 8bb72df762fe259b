// The full paths a record's file is written to: the paths named by its
// target list (desname), or its own path in the installation folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace mf {

// Expands path macros and joins a relative path with the installation folder.
using PathResolver = std::function<std::wstring(const std::wstring&)>;

// Items of `list` are separated by ",", "|" or ";". An item holding a
// slash or backslash is a path of its own; a plain name replaces the last
// component of the base path. Duplicates are left out.
std::vector<std::wstring> ExpandListWith(const std::wstring& basePath, const std::wstring& list,
                                         const PathResolver& resolve);
// The list's targets, or the single base path when it names none.
std::vector<std::wstring> ExpandTargetsWith(const std::wstring& path, const std::wstring& desname,
                                            const PathResolver& resolve);

// The same against the current installation folder and macros.
std::vector<std::wstring> ExpandList(const std::wstring& basePath, const std::wstring& list);
std::vector<std::wstring> ExpandTargets(const std::wstring& path, const std::wstring& desname);

}  // namespace mf
