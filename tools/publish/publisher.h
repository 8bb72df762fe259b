// Publishing a release: the release folder becomes the folder an update
// server serves (the list, every file, and every file's zip variant).
//
// Everything is written into a staging folder beside the output folder and
// swapped into place at the end, so a run that fails or is interrupted
// leaves the output folder as it was.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mf::publish {

struct PublishProgress {
    std::size_t filesDone = 0;
    std::size_t filesTotal = 0;
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
    std::wstring path;  // the file just published
};

struct PublishOptions {
    std::wstring releaseFolder;
    std::wstring outFolder;
    std::wstring previousFolder;  // empty: no comparison
    std::wstring listName = L"update.xml";
    std::wstring manifestPath;  // empty: mirefold-publish.ini in the release, when there is one
    bool zipIfSmaller = false;  // leave out zip variants that are not smaller than their file
    // A signed release: every file record carries its SHA-256, the list's
    // root its serial (and expiry), and the list is signed into LIST.sig.
    std::wstring keyFile;                 // empty: an unsigned release, as before
    std::optional<std::uint64_t> serial;  // none: one more than --previous, else from the UTC time
    int expiresDays = 0;                  // 0: the list does not expire
    std::function<void(const PublishProgress&)> progress;
    const std::atomic<bool>* cancel = nullptr;
};

struct PublishSummary {
    std::size_t files = 0;
    std::uint64_t bytes = 0;
    std::size_t zipVariants = 0;
    std::uint64_t zipBytes = 0;
    std::size_t reusedZips = 0;
    bool compared = false;              // a previous release was given
    std::vector<std::wstring> changed;  // changed or new since the previous release
    std::vector<std::wstring> removed;  // in the previous release, not in this one
    std::vector<std::wstring> warnings;
    double seconds = 0;
    std::uint64_t serial = 0;  // of a signed release
};

// COM must be initialised on the calling thread (the previous list is read
// with the XML DOM). False, with `error`, when nothing was published.
bool Publish(const PublishOptions& options, PublishSummary& summary, std::wstring& error);

}  // namespace mf::publish
