// The parameter package as the engine finds it in the user's temporary
// folder: a zip whose entry, encrypted with the package password, is looked
// up by its name ignoring case and read only when its declared size is
// within the limit. (The XML inside is the system's XML parser's to read.)
#include <vector>

#include "base/strings.h"
#include "check/parameter_package.h"
#include "fuzz_input.h"
#include "zip/byte_source.h"
#include "zip/zip_container.h"
#include "zip/zip_entry_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mf::MemorySource source(data, size);
    std::vector<mf::CentralEntry> entries;
    if (mf::ReadCentralDirectory(source, entries) != mf::ZipResult::Ok) return 0;
    for (const mf::CentralEntry& entry : entries) {
        const std::wstring name = mf::SafeEntryName(mf::Widen(entry.storedName, mf::CodePage::Utf8));
        if (!mf::EqualsNoCase(name, mf::kParameterPackageEntry)) continue;
        if (entry.uncompressedSize > mf::kParameterPackageEntryMax) return 0;
        mf::LocalHeader local;
        if (mf::ReadLocalHeader(source, entry, local) != mf::ZipResult::Ok) return 0;
        mf::ZipEntryReader reader;
        const std::string password(mf::kParameterPackagePassword);
        if (reader.Open(source, entry, local.dataOffset, password) != mf::ZipResult::Ok) return 0;
        std::vector<unsigned char> text(entry.uncompressedSize + 10, 0);
        std::size_t filled = 0;
        while (!reader.AtEnd()) {
            std::size_t produced = 0;
            if (reader.Read(text.data() + filled, entry.uncompressedSize - filled, produced) != mf::ZipResult::Ok)
                return 0;
            filled += produced;
            if (produced == 0 && !reader.AtEnd()) return 0;
        }
        if (filled != entry.uncompressedSize) mf::fuzz::Broken("a verified entry of another size");
        return 0;
    }
    return 0;
}
