// The update list of a release, as the engine's list reader takes it: one
// "file" element per release file keyed by its MD5 in the "md5" attribute,
// under a root marked hash="md5" so that the engine verifies what it fetched.
#pragma once

#include <string>
#include <vector>

#include "manifest.h"

namespace mf::publish {

struct ListedFile {
    std::wstring path;
    std::wstring md5;
    std::wstring sha256;  // written only when known (a signed release)
    // Whether the file's zip variant is published beside it: the list says
    // so (zip="1" or "0"), and an engine asks only for the variants there are.
    bool zipVariant = false;
    const FileSettings* settings = nullptr;  // from the manifest, if any
};

// The key of a record that deletes a file. It is a version key rather than a
// digest (so nothing is verified against it) and never equals a digest, so an
// installation that has the file always finds the record new once.
inline constexpr const wchar_t* kDeletedKey = L"deleted";

// The list document, UTF-8 with its declaration. Files come in the given
// order, then the deletions; commands are written in reverse, because the
// engine runs the list's last command first, so that they run in the
// manifest's order. Message lines are joined with the list's line break "\n".
// `rootAttributes` is written into the root element as it is (escaped
// already): the serial and expiry of a signed release.
[[nodiscard]] std::string BuildList(const std::vector<ListedFile>& files, const Manifest& manifest,
                                    const std::wstring& rootAttributes = {});

// The operation text of a file record: "run", "reg", "boot" as the manifest
// asks, separated by spaces; empty when nothing is asked.
[[nodiscard]] std::wstring OperText(const FileSettings& settings);

}  // namespace mf::publish
