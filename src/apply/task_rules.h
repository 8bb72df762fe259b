// The rules of upgrade task documents that need no file system: which
// element names are tasks, the boolean text of "waitclose", the link file
// name, and which files are task documents.
#pragma once

#include <string>
#include <string_view>

namespace mf {

enum class TaskKind { None, Run, Rename, Kill, Path, Delete, Shortcut, Ini };

// The task an element name stands for, compared exactly ("Run" and "DEL"
// are containers, not tasks).
[[nodiscard]] TaskKind TaskKindOf(std::wstring_view elementName);

// Boolean text: true when, lower-cased, it holds a "1", "y" or "t"
// anywhere ("yes", "true", "Y" and also "not").
[[nodiscard]] bool IsTrueText(std::wstring_view text);

// The file a link is saved to: the path as it is when it holds ".lnk"
// (any case), else with ".lnk" appended.
[[nodiscard]] std::wstring LinkFileName(const std::wstring& link);

// Whether the run-file operation executes the file as a task document: its
// lower-cased name ends in ".xml" (tested with the "*#06#" sentinel, after
// the first character).
[[nodiscard]] bool IsTaskDocumentName(std::wstring_view path);

}  // namespace mf
