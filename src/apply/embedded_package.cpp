#include "apply/embedded_package.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "apply/download_rules.h"
#include "base/confined_folder.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/path_text.h"
#include "base/strings.h"
#include "list/release_marks.h"
#include "zip/unzip.h"

namespace mf {

namespace {

constexpr DWORD kCopyBlock = 64 * 1024;
constexpr int kCopyAttempts = 2;

std::int32_t ReadInt32(const char* bytes) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return static_cast<std::int32_t>(value);
}

void AppendInt32(std::string& out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

bool ReadAt(HANDLE file, std::int64_t offset, void* buffer, DWORD size) {
    LARGE_INTEGER at{};
    at.QuadPart = offset;
    DWORD read = 0;
    return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ::ReadFile(file, buffer, size, &read, nullptr) &&
           read == size;
}

// Copies the package's bytes into a file of their own; a short read or write
// is a failure, and the partial copy is removed.
bool CopyPackage(HANDLE executable, const PackagePlace& place, const std::wstring& copy) {
    DeleteFileForce(copy);
    bool complete = false;
    {
        const UniqueFile out(::CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out) return false;
        std::vector<char> block(kCopyBlock);
        std::int64_t done = 0;
        while (done < place.length) {
            const DWORD size = static_cast<DWORD>(std::min<std::int64_t>(kCopyBlock, place.length - done));
            DWORD written = 0;
            if (!ReadAt(executable, place.offset + done, block.data(), size) ||
                !::WriteFile(out.get(), block.data(), size, &written, nullptr) || written != size)
                break;
            done += size;
        }
        complete = done == place.length;
    }
    if (!complete) DeleteFileForce(copy);
    return complete;
}

// What one unpacking wrote, so that a damaged package leaves nothing behind.
class Unpacked {
public:
    void Add(std::wstring path) { paths_.push_back(std::move(path)); }
    [[nodiscard]] bool Holds(const std::wstring& path) const {
        for (const std::wstring& written : paths_) {
            if (EqualsNoCase(written, path)) return true;
        }
        return false;
    }
    void RemoveAll() {
        for (const std::wstring& path : paths_) DeleteFileForce(path);
        paths_.clear();
    }

private:
    std::vector<std::wstring> paths_;
};

std::wstring EntryTarget(const std::wstring& name, const PackageTargets& targets, const std::wstring& recordsFile) {
    if (EqualsNoCase(name, kPackageListEntry)) return targets.listFile;
    if (EqualsNoCase(name, kPackageRecordsEntry)) return recordsFile;
    if (EqualsNoCase(name, kPackageSignatureEntry)) return targets.listFile + kSignatureSuffix;
    return CollapseSeparators(targets.downloadFolder + L"\\" + name + L"_");
}

// Unpacks every entry; false at the first one that cannot be written whole.
bool UnpackAll(const std::wstring& package, const PackageTargets& targets, const std::wstring& recordsFile,
               Unpacked& unpacked) {
    const UniqueZip zip(OpenZip(package));
    if (!zip) return false;
    // The pending files go where downloads go, a folder of the user's: none
    // is written through a link there.
    ConfinedFolder downloads;
    if (!downloads.Open(targets.downloadFolder)) return false;
    ZipEntry count;
    if (GetZipItem(zip.get(), -1, count) != ZipResult::Ok) return false;
    for (int index = 0; index < count.index; ++index) {
        ZipEntry entry;
        if (GetZipItem(zip.get(), index, entry) != ZipResult::Ok) return false;
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || entry.name.empty()) continue;
        const std::wstring target = EntryTarget(entry.name, targets, recordsFile);
        const bool pendingFile =
            target != targets.listFile && target != recordsFile && target != targets.listFile + kSignatureSuffix;
        const HeldFolders held = pendingFile ? downloads.HoldFoldersOf(target) : HeldFolders();
        if (pendingFile && !held) return false;
        DeleteFileForce(target);
        unpacked.Add(target);
        if (UnzipItemToFile(zip.get(), index, target) != ZipResult::Ok) return false;
        ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    return true;
}

bool HasPendingFiles(const DownLoadList& list, const std::wstring& downloadFolder) {
    for (const updatefileinfo& record : list.Records()) {
        if (!RecordNeedsFile(record)) continue;
        // A record whose path climbs out of the folder has no pending file.
        const std::wstring path = DownloadPathWith(downloadFolder, record.path);
        if (path.empty() || !FileExists(path + L"_")) return false;
    }
    return true;
}

}  // namespace

std::optional<PackagePlace> ParsePackageTrailer(std::string_view trailer) {
    if (trailer.size() != kPackageTrailerSize) return std::nullopt;
    const std::string_view marker = trailer.substr(8);
    if (marker != kPackageMarker && marker != kPackageMarkerAlternative) return std::nullopt;
    return PackagePlace{ReadInt32(trailer.data()), ReadInt32(trailer.data() + 4)};
}

bool PackageFits(const PackagePlace& place, std::int64_t fileSize) {
    return place.offset >= 0 && place.length > 0 &&
           place.offset + place.length <= fileSize - static_cast<std::int64_t>(kPackageTrailerSize);
}

std::string MakePackageTrailer(std::int32_t offset, std::int32_t length) {
    std::string trailer;
    AppendInt32(trailer, offset);
    AppendInt32(trailer, length);
    trailer += kPackageMarker;
    return trailer;
}

bool IsReservedPackageName(const std::wstring& path) {
    const std::wstring name = Replaced(path, L"/", L"\\");
    return EqualsNoCase(name, kPackageListEntry) || EqualsNoCase(name, kPackageRecordsEntry) ||
           EqualsNoCase(name, kPackageSignatureEntry);
}

bool RecordNeedsFile(const updatefileinfo& record) { return BringsFile(record.oper); }

PackageOutcome ExtractEmbeddedPackage(const std::wstring& executable, const PackageTargets& targets,
                                      DownLoadList& list) {
    const UniqueFile file(::CreateFileW(executable.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return PackageOutcome::None;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < static_cast<LONGLONG>(kPackageTrailerSize))
        return PackageOutcome::None;
    char trailer[kPackageTrailerSize] = {};
    if (!ReadAt(file.get(), size.QuadPart - static_cast<LONGLONG>(kPackageTrailerSize), trailer, sizeof trailer))
        return PackageOutcome::None;
    const std::optional<PackagePlace> place = ParsePackageTrailer(std::string_view(trailer, sizeof trailer));
    if (!place) return PackageOutcome::None;
    if (!PackageFits(*place, size.QuadPart)) return PackageOutcome::Damaged;

    CreateFolderTree(targets.tempFolder);
    const std::wstring copy = ReduceBackslashes(targets.tempFolder + L"\\" + kPackageCopyName);
    bool copied = false;
    for (int attempt = 0; attempt < kCopyAttempts && !copied; ++attempt) copied = CopyPackage(file.get(), *place, copy);
    if (!copied) return PackageOutcome::Damaged;

    const std::wstring recordsFile = ReduceBackslashes(targets.tempFolder + L"\\" + kPackageRecordsEntry);
    Unpacked unpacked;
    DownLoadList loaded;
    bool sound = UnpackAll(copy, targets, recordsFile, unpacked) && unpacked.Holds(targets.listFile) &&
                 unpacked.Holds(recordsFile) && loaded.LoadFromFile(recordsFile);
    DeleteFileForce(recordsFile);
    DeleteFileForce(copy);
    if (sound) {
        loaded.FinishCheckedList();
        sound = HasPendingFiles(loaded, targets.downloadFolder);
    }
    if (!sound) {
        unpacked.RemoveAll();
        return PackageOutcome::Damaged;
    }
    if (loaded.IsEmpty()) return PackageOutcome::NoFiles;
    loaded.listPath = targets.listFile;
    loaded.SetStatus(UpdateStatus::None);
    list = loaded;
    return PackageOutcome::TakenOver;
}

}  // namespace mf
