// The zip reader on an archive from anywhere: the end record, the central
// directory, every local header and extra field, each entry's safe name and
// its data, decrypted with the test archives' password and inflated. What
// the server or a package may send the engine goes through exactly these.
#include <vector>

#include "fuzz_input.h"
#include "zip/byte_source.h"
#include "zip/zip_container.h"
#include "zip/zip_entry_reader.h"

namespace {

// Enough entries and output to reach every path; a declared size of 4 GiB
// is read only as far as this.
constexpr std::size_t kMaxEntries = 64;
constexpr std::size_t kMaxOutput = 1 << 20;

void ReadEntry(mf::ByteSource& source, const mf::CentralEntry& entry, std::size_t& budget) {
    const std::wstring name = mf::SafeEntryName(
        mf::fuzz::ByteText(reinterpret_cast<const std::uint8_t*>(entry.storedName.data()), entry.storedName.size()));
    if (name.find(L"\\..\\") != std::wstring::npos || name.find(L"/../") != std::wstring::npos)
        mf::fuzz::Broken("a safe entry name still climbs");
    mf::LocalHeader local;
    if (mf::ReadLocalHeader(source, entry, local) != mf::ZipResult::Ok) return;
    (void)mf::ReadExtendedTimestamp(local.extra);
    mf::ZipEntryReader reader;
    if (reader.Open(source, entry, local.dataOffset, std::string("s3cret pass")) != mf::ZipResult::Ok) return;
    std::vector<unsigned char> block(mf::ZipEntryReader::kBlockSize);
    while (budget != 0 && !reader.AtEnd()) {
        std::size_t produced = 0;
        if (reader.Read(block.data(), std::min(block.size(), budget), produced) != mf::ZipResult::Ok) return;
        if (produced > budget) mf::fuzz::Broken("the reader produced more than asked");
        budget -= produced;
        if (produced == 0 && !reader.AtEnd()) return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mf::MemorySource source(data, size);
    std::vector<mf::CentralEntry> entries;
    if (mf::ReadCentralDirectory(source, entries) != mf::ZipResult::Ok) return 0;
    std::size_t budget = kMaxOutput;
    for (std::size_t i = 0; i < entries.size() && i < kMaxEntries; ++i) ReadEntry(source, entries[i], budget);
    return 0;
}
