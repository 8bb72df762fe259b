// Extraction of an entry to a file: folders, attributes, times.
#include "base/files.h"
#include "base/handles.h"
#include "zip/unzip.h"
#include "zip/zip_archive.h"

namespace mf {
namespace {

bool IsAbsoluteTarget(const std::wstring& target) {
    return (!target.empty() && (target[0] == L'\\' || target[0] == L'/')) ||
           (target.size() >= 2 && target[1] == L':');
}

const FILETIME* TimeOrNone(const FILETIME& time) {
    return (time.dwLowDateTime == 0 && time.dwHighDateTime == 0) ? nullptr : &time;
}

void RemovePartialFile(const std::wstring& path) { DeleteFileForce(path); }

bool WriteAll(HANDLE file, const unsigned char* data, std::size_t length) {
    while (length != 0) {
        DWORD written = 0;
        if (!::WriteFile(file, data, static_cast<DWORD>(length), &written, nullptr) || written == 0) return false;
        data += written;
        length -= written;
    }
    return true;
}

ZipResult ExtractFolder(const ZipArchive& zip, const std::wstring& target) {
    const std::wstring folder = IsAbsoluteTarget(target) ? target : zip.baseFolder + target;
    return CreateFolderTree(folder) ? ZipResult::Ok : ZipResult::CannotOpen;
}

// Where the file goes; its folders are created on the way.
bool PrepareFilePath(const ZipArchive& zip, const std::wstring& target, std::wstring& path) {
    const std::size_t slash = target.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash);
    const std::wstring name = slash == std::wstring::npos ? target : target.substr(slash + 1);
    if (name.empty()) return false;
    if (IsAbsoluteTarget(target)) {
        if (!folder.empty() && !CreateFolderTree(folder)) return false;
        path = target;
        return true;
    }
    if (!folder.empty() && !CreateFolderTree(zip.baseFolder + folder)) return false;
    path = zip.baseFolder + (folder.empty() ? name : folder + L"\\" + name);
    return true;
}

ZipResult CopyEntry(ZipArchive& zip, int index, HANDLE file, const ZipEntry& entry) {
    ZipEntryReader reader;
    if (const ZipResult opened = zip.OpenEntry(index, reader); opened != ZipResult::Ok) return opened;
    if (zip.transfer.empty()) zip.transfer.resize(ZipEntryReader::kBlockSize);
    while (!reader.AtEnd()) {
        std::size_t made = 0;
        const ZipResult result = reader.Read(zip.transfer.data(), zip.transfer.size(), made);
        if (!WriteAll(file, zip.transfer.data(), made)) return ZipResult::WriteFailed;
        if (result != ZipResult::Ok) return result;
    }
    ::SetFileTime(file, TimeOrNone(entry.creationTime), TimeOrNone(entry.accessTime),
                  TimeOrNone(entry.modificationTime));
    return ZipResult::Ok;
}

ZipResult ExtractFile(ZipArchive& zip, int index, const std::wstring& target, const ZipEntry& entry) {
    std::wstring path;
    if (!PrepareFilePath(zip, target, path)) return ZipResult::CannotOpen;
    // An earlier file goes first and the file is made new: a link under the
    // name goes as a link (never what it points to), so that extracting
    // never writes anywhere but at the name itself.
    DeleteFileForce(path);
    constexpr DWORD kFileMask = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE;
    const DWORD attributes = entry.attributes & kFileMask;
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ZipResult::CannotOpen;
    const ZipResult result = CopyEntry(zip, index, file.get(), entry);
    file.reset();
    // A cut-off or damaged file must not stay behind looking like the real one.
    if (result != ZipResult::Ok) RemovePartialFile(path);
    return result;
}

}  // namespace

ZipResult UnzipItemToFile(ZipHandle zip, int index, const std::wstring& target) {
    if (const ZipResult check = CheckZipHandle(zip); check != ZipResult::Ok) return SetLastZipResult(check);
    zip->CloseEntry();
    if (!zip->HasIndex(index) || target.empty()) return SetLastZipResult(ZipResult::BadArguments);
    ZipEntry entry;
    if (const ZipResult described = zip->Describe(index, entry); described != ZipResult::Ok)
        return SetLastZipResult(described);
    if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) return SetLastZipResult(ExtractFolder(*zip, target));
    return SetLastZipResult(ExtractFile(*zip, index, target, entry));
}

}  // namespace mf
