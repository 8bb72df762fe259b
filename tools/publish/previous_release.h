// A release published before: its list says which files it had and their
// MD5 keys, and its folder holds their zip variants for reuse.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mf::publish {

struct PreviousRelease {
    std::wstring folder;
    std::map<std::wstring, std::wstring> md5ByPath;  // file records with an md5 key, exact paths
    std::vector<std::wstring> deletedPaths;          // records that delete a file
    std::optional<std::uint64_t> serial;             // of a signed release
};

// Reads `folder`\`listName`. COM must be initialised. False, with `error`,
// when the list is missing or is not a list.
bool ReadPreviousRelease(const std::wstring& folder, const std::wstring& listName, PreviousRelease& previous,
                         std::wstring& error);

// The files a folder written by this tool may hold: its list, the list's zip
// variant and signature, and each listed path and its zip variant
// (lower-cased).
[[nodiscard]] std::vector<std::wstring> PublishedNames(const PreviousRelease& previous, const std::wstring& listName);

}  // namespace mf::publish
