// The update package an engine can carry appended to its own file, so that a
// release is delivered as one program file and installs without a server.
//
// The package is a zip archive: the release's files under their list paths
// ("/"-separated), the product's update list as "__list4mirefold.xml", and
// that list read into records as a saved update list, "__list4mirefold.tmp".
// It is followed by a 20-byte trailer at the very end of the file:
//   offset of the package from the start of the file (signed 32-bit LE),
//   length of the package in bytes (signed 32-bit LE),
//   the marker, 12 single-byte characters "MirefoldZip1" ("MirefoldZip0" is
//   read as well).
// mirefold-pack (tools/pack) writes such files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "list/download_list.h"

namespace mf {

inline constexpr std::size_t kPackageTrailerSize = 20;
inline constexpr std::string_view kPackageMarker = "MirefoldZip1";
inline constexpr std::string_view kPackageMarkerAlternative = "MirefoldZip0";

// Entry names of the package that are no release file.
inline constexpr const wchar_t* kPackageListEntry = L"__list4mirefold.xml";
inline constexpr const wchar_t* kPackageRecordsEntry = L"__list4mirefold.tmp";
// The list's signature, when the release was signed; unpacked beside the
// list file (list file + ".sig").
inline constexpr const wchar_t* kPackageSignatureEntry = L"__list4mirefold.xml.sig";
// Files the engine copies the package and its records to, in the temporary
// folder.
inline constexpr const wchar_t* kPackageCopyName = L"__package4mirefold.tmp";

struct PackagePlace {
    std::int64_t offset = 0;
    std::int64_t length = 0;
};

// The package a trailer announces; nullopt when the bytes carry no marker.
std::optional<PackagePlace> ParsePackageTrailer(std::string_view trailer);
// Whether the announced package lies inside a file of that size, before its
// trailer, and is not empty.
bool PackageFits(const PackagePlace& place, std::int64_t fileSize);
// The trailer for a package at that place.
std::string MakePackageTrailer(std::int32_t offset, std::int32_t length);

// Whether a release file's list path would collide with the package's own
// entries.
bool IsReservedPackageName(const std::wstring& path);

// Whether the download phase fetches a file for the record (the records it
// skips need none in a package either).
bool RecordNeedsFile(const updatefileinfo& record);

// Where the package's contents go.
struct PackageTargets {
    std::wstring tempFolder;      // the package copy and the records file
    std::wstring downloadFolder;  // pending files: path + "_"
    std::wstring listFile;        // the product list, as a check downloads it
};

enum class PackageOutcome {
    None,       // no trailer: an ordinary engine
    Damaged,    // a trailer, but the package cannot be used; nothing of it is left behind
    NoFiles,    // a sound package whose list names no file to install
    TakenOver,  // the release's files are pending and `list` holds their records
};

// Looks for a package at the end of `executable`; when there is one, copies
// it to the temporary folder, unpacks its files as pending files and its
// update list to the list file, and fills `list` (emptied first) with the
// package's records, messages and commands taken out, the list file as its
// list path.
PackageOutcome ExtractEmbeddedPackage(const std::wstring& executable, const PackageTargets& targets,
                                      DownLoadList& list);

}  // namespace mf
