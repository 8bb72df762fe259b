// The files of a release folder, with the checks that keep every one of them
// deliverable: the engine normalises list paths (trims them, removes
// "._.zip", keeps the first of paths equal but for case) and handles sizes
// below 2 GiB only, so a name or size it would change or refuse is an error
// here rather than a file that never reaches users.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace mf::publish {

struct ReleaseFile {
    std::wstring path;  // relative to the release folder, "\" separated
    std::uint64_t size = 0;
    FILETIME modified{};
};

// Every file below `root`, sorted by path (ordinal, case-insensitive first).
// The manifest at the top is left out; so are folders that are reparse
// points (links to elsewhere), which `skipped` names.
bool ScanRelease(const std::wstring& root, std::vector<ReleaseFile>& files, std::vector<std::wstring>& skipped,
                 std::wstring& error);

// Why a release path cannot be published, or empty when it can. `listName`
// is the name of the list file at the top of the output.
[[nodiscard]] std::wstring PathProblem(const std::wstring& path, const std::wstring& listName);

// The largest file the engine can download.
inline constexpr std::uint64_t kMaxFileSize = 0x7FFFFFFF;

}  // namespace mf::publish
