// Fetching one file of an update (or the update list itself) into the
// temporary folder: first in the form that is expected to work (the zip
// variant for files, the remembered form for the list), then in the other.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

#include "list/update_file_info.h"
#include "net/download_session.h"

namespace mf {

// The index of the update list itself in FetchFile.
inline constexpr int kListFileIndex = -1;

// Fetches `url` to `target`. For a record (index >= 0) the result is left as
// the pending file target + "_"; a pending file from an earlier run counts as
// fetched. For the list (index -1) the result is `target` itself and the
// form that worked is remembered as Mirefold/ListFileZip. 0 on success,
// 1 on failure.
//
struct FetchOptions {
    // A record whose key is a content digest: the plain file must have that
    // MD5 before it becomes the pending file. A file that does not is
    // deleted, logged as "md5 error[url]" and counts as a failed attempt; a
    // pending file of an earlier run that does not is fetched again.
    std::wstring md5Key;
    // The same for a record that carries a SHA-256 ("sha256 error[url]").
    std::wstring sha256Key;
    // What the list says of the file's zip variant: a file marked without one
    // is asked for only plainly; a file not marked, as the variant first.
    ZipHint zip = ZipHint::Unmarked;
    // The caller's session, kept across files so that their connections and
    // part workers are reused; none: each download opens its own.
    DownloadSession* session = nullptr;
};

[[nodiscard]] int FetchFile(HWND window, int index, const std::wstring& url, const std::wstring& target,
                            const FetchOptions& options = {});

// Extracts the first entry of the archive to `target`. False when the
// archive cannot be read, the entry would unpack to more than `maxBytes`
// (nothing is written then) or the target cannot be replaced.
[[nodiscard]] bool ExtractSingleFile(const std::wstring& archive, const std::wstring& target,
                                     std::int64_t maxBytes = INT32_MAX);

}  // namespace mf
