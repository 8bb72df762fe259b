#include "zip/unzip.h"

#include <atomic>
#include <mutex>
#include <set>

#include "base/strings.h"
#include "zip/file_source.h"
#include "zip/zip_archive.h"

namespace mf {
namespace {

std::atomic<std::uint32_t> g_lastResult{0};

// Handles given out and not yet closed. A stale or foreign pointer is
// recognised here instead of being followed.
std::mutex g_handlesMutex;
std::set<ZipArchive*>& LiveHandles() {
    static std::set<ZipArchive*> handles;
    return handles;
}

std::wstring CurrentFolder() {
    const DWORD length = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(length, L'\0');
    const DWORD written = ::GetCurrentDirectoryW(length, folder.data());
    folder.resize(written < length ? written : 0);
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

ZipHandle Open(std::unique_ptr<ByteSource> source, std::optional<std::string_view> password) {
    auto zip = std::make_unique<ZipArchive>();
    zip->baseFolder = CurrentFolder();
    zip->source = std::move(source);
    if (password) zip->password.emplace(*password);
    const ZipResult result = ReadCentralDirectory(*zip->source, zip->entries);
    if (result != ZipResult::Ok) {
        SetLastZipResult(result);
        return nullptr;
    }
    std::lock_guard lock(g_handlesMutex);
    LiveHandles().insert(zip.get());
    g_lastResult = 0;
    return zip.release();
}

}  // namespace

ZipResult LastZipResult() { return static_cast<ZipResult>(g_lastResult.load()); }

ZipResult SetLastZipResult(ZipResult code) {
    g_lastResult = static_cast<std::uint32_t>(code);
    return code;
}

void ResetLastZipResult() { g_lastResult = 0; }

ZipResult CheckZipHandle(ZipHandle zip) {
    if (zip == nullptr) return ZipResult::BadArguments;
    std::lock_guard lock(g_handlesMutex);
    return LiveHandles().count(zip) != 0 ? ZipResult::Ok : ZipResult::NotUnzipHandle;
}

ZipResult ZipArchive::Describe(int index, ZipEntry& entry) {
    if (describedIndex != index) {
        LocalHeader local;
        const ZipResult result = ReadLocalHeader(*source, entries[static_cast<std::size_t>(index)], local);
        if (result != ZipResult::Ok) return result;
        described = DescribeEntry(index, entries[static_cast<std::size_t>(index)], local);
        describedIndex = index;
    }
    entry = described;
    return ZipResult::Ok;
}

ZipResult ZipArchive::OpenEntry(int index, ZipEntryReader& reader) {
    const CentralEntry& entry = entries[static_cast<std::size_t>(index)];
    LocalHeader local;
    const ZipResult result = ReadLocalHeader(*source, entry, local);
    if (result != ZipResult::Ok) return result;
    return reader.Open(*source, entry, local.dataOffset, password);
}

ZipHandle OpenZip(const std::wstring& fileName, std::optional<std::string_view> password) {
    auto source = std::make_unique<FileSource>();
    if (!FileSource::Open(fileName.c_str(), *source)) {
        SetLastZipResult(ZipResult::CannotOpen);
        return nullptr;
    }
    return Open(std::move(source), password);
}

ZipHandle OpenZip(HANDLE file, std::optional<std::string_view> password) {
    auto source = std::make_unique<FileSource>();
    if (!FileSource::Borrow(file, *source)) {
        SetLastZipResult(ZipResult::CannotSeek);
        return nullptr;
    }
    return Open(std::move(source), password);
}

ZipHandle OpenZip(const void* data, std::size_t length, std::optional<std::string_view> password) {
    if (data == nullptr && length != 0) {
        SetLastZipResult(ZipResult::BadArguments);
        return nullptr;
    }
    return Open(std::make_unique<MemorySource>(data, length), password);
}

ZipResult GetZipItem(ZipHandle zip, int index, ZipEntry& entry) {
    if (const ZipResult check = CheckZipHandle(zip); check != ZipResult::Ok) return SetLastZipResult(check);
    if (index == -1) {
        entry.index = static_cast<int>(zip->entries.size());
        return SetLastZipResult(ZipResult::Ok);
    }
    if (!zip->HasIndex(index)) return SetLastZipResult(ZipResult::BadArguments);
    return SetLastZipResult(zip->Describe(index, entry));
}

ZipResult FindZipItem(ZipHandle zip, std::wstring_view name, bool ignoreCase, ZipEntry& entry) {
    if (const ZipResult check = CheckZipHandle(zip); check != ZipResult::Ok) return SetLastZipResult(check);
    for (std::size_t i = 0; i < zip->entries.size(); ++i) {
        ZipEntry candidate;
        if (zip->Describe(static_cast<int>(i), candidate) != ZipResult::Ok) continue;
        if (ignoreCase ? EqualsNoCase(candidate.name, name) : candidate.name == name) {
            entry = std::move(candidate);
            return SetLastZipResult(ZipResult::Ok);
        }
    }
    entry.index = -1;
    return SetLastZipResult(ZipResult::BadArguments);
}

ZipResult UnzipItemToBuffer(ZipHandle zip, int index, void* buffer, std::size_t size, std::size_t* produced) {
    if (produced != nullptr) *produced = 0;
    if (const ZipResult check = CheckZipHandle(zip); check != ZipResult::Ok) return SetLastZipResult(check);
    if (!zip->HasIndex(index) || (buffer == nullptr && size != 0)) return SetLastZipResult(ZipResult::BadArguments);
    if (zip->currentIndex != index) {
        zip->CloseEntry();
        auto reader = std::make_unique<ZipEntryReader>();
        const ZipResult opened = zip->OpenEntry(index, *reader);
        if (opened != ZipResult::Ok) return SetLastZipResult(opened);
        zip->current = std::move(reader);
        zip->currentIndex = index;
    }
    std::size_t made = 0;
    const ZipResult result = zip->current->Read(static_cast<unsigned char*>(buffer), size, made);
    if (produced != nullptr) *produced = made;
    if (result != ZipResult::Ok) {
        zip->CloseEntry();
        return SetLastZipResult(result);
    }
    if (zip->current->AtEnd()) {
        zip->CloseEntry();
        return SetLastZipResult(ZipResult::Ok);
    }
    return SetLastZipResult(ZipResult::More);
}

ZipResult CloseZip(ZipHandle zip) {
    if (const ZipResult check = CheckZipHandle(zip); check != ZipResult::Ok) return SetLastZipResult(check);
    {
        std::lock_guard lock(g_handlesMutex);
        LiveHandles().erase(zip);
    }
    delete zip;
    return SetLastZipResult(ZipResult::Ok);
}

}  // namespace mf
