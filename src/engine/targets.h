// The full paths a record's file is written to: the paths named by its
// target list (desname), or its own path in the installation folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace mf {

// Expands path macros and joins a relative path with the installation
// folder; empty for a path that is refused (Paths::ResolveInside).
using PathResolver = std::function<std::wstring(const std::wstring&)>;
// Whether a full path may be a target at all.
using TargetFilter = std::function<bool(const std::wstring&)>;

// Items of `list` are separated by ",", "|" or ";". An item holding a
// slash or backslash is a path of its own; a plain name replaces the last
// component of the base path. Duplicates are left out, and so are items
// the resolver refuses, plain names that are no file name ("..", "a:b")
// and paths the filter rejects.
std::vector<std::wstring> ExpandListWith(const std::wstring& basePath, const std::wstring& list,
                                         const PathResolver& resolve, const TargetFilter& allowed = {});
// The list's targets, or the single base path when it names none (but not
// when every item it names was left out: the list meant somewhere else).
std::vector<std::wstring> ExpandTargetsWith(const std::wstring& path, const std::wstring& desname,
                                            const PathResolver& resolve, const TargetFilter& allowed = {});

// The same against the current installation folder and macros. A relative
// path that climbs out of the installation folder, and the engine's own
// files (its configuration, the installed list, the old-files list and
// the log), are never targets.
std::vector<std::wstring> ExpandList(const std::wstring& basePath, const std::wstring& list);
std::vector<std::wstring> ExpandTargets(const std::wstring& path, const std::wstring& desname);

// Whether a full path is one of the engine's own files in the current
// installation.
[[nodiscard]] bool IsEngineBookkeepingFile(const std::wstring& path);

}  // namespace mf
