// What an open archive handle holds; shared by the parts of the reader and
// not meant for callers.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zip/byte_source.h"
#include "zip/unzip.h"
#include "zip/zip_directory.h"
#include "zip/zip_entry_reader.h"

namespace mf {

struct ZipArchive {
    std::unique_ptr<ByteSource> source;
    std::vector<CentralEntry> entries;
    std::optional<std::string> password;
    std::wstring baseFolder;  // current folder at open time, with a trailing backslash

    // The entry being read into buffers, if any.
    int currentIndex = -1;
    std::unique_ptr<ZipEntryReader> current;

    // The last entry described.
    int describedIndex = -1;
    ZipEntry described;

    // The transfer buffer of file extraction, made on first use.
    std::vector<unsigned char> transfer;

    void CloseEntry() {
        current.reset();
        currentIndex = -1;
    }
    [[nodiscard]] bool HasIndex(int index) const {
        return index >= 0 && static_cast<std::size_t>(index) < entries.size();
    }
    // Describes entry `index` (a valid index), reading its local header.
    [[nodiscard]] ZipResult Describe(int index, ZipEntry& entry);
    // Opens the data of entry `index` (a valid index) for reading.
    [[nodiscard]] ZipResult OpenEntry(int index, ZipEntryReader& reader);
};

// Whether `zip` is a handle that OpenZip gave out and CloseZip has not yet
// closed; the pointer is never followed otherwise.
[[nodiscard]] ZipResult CheckZipHandle(ZipHandle zip);

}  // namespace mf
