// The record file of the test programs (mirefold-testhost,
// mirefold-testmain): one UTF-8 line per event, which the tests read while
// the program runs.
#pragma once

#include <string>
#include <string_view>

namespace mf::tools {

// Appends `line` and a "\n" to the file at `path` (created when missing);
// nothing when `path` is empty. The file is opened for each line and shared
// for reading and writing, so that a test can read it at any time and a
// program that is killed loses no line it recorded.
void AppendRecordLine(const std::wstring& path, std::wstring_view line);

}  // namespace mf::tools
