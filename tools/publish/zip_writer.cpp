#include "zip_writer.h"

#include "base/files.h"
#include "base/handles.h"
#include "zip/unzip.h"
#include "zip/zip_writer.h"

namespace mf::publish {

namespace {

std::wstring SystemError(const std::wstring& what, const std::wstring& path) {
    return what + L" " + path + L" (error " + std::to_wstring(::GetLastError()) + L")";
}

bool WriteZip(const std::wstring& source, const std::wstring& target, const std::wstring& entryName,
              const FILETIME& modified, ZipEntryFacts& facts, std::wstring& error) {
    const UniqueFile out(
        ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        error = SystemError(L"cannot create", target);
        return false;
    }
    ZipWriter zip(out.get());
    if (!zip.AddFile(entryName, source, modified) || !zip.Finish()) {
        error = zip.Error();
        return false;
    }
    if (!::FlushFileBuffers(out.get()) && ::GetLastError() != ERROR_INVALID_FUNCTION) {
        error = SystemError(L"cannot write", target);
        return false;
    }
    const ZipWrittenEntry& entry = zip.LastEntry();
    facts.crc = entry.crc;
    facts.compressedSize = entry.compressedSize;
    facts.size = entry.size;
    return true;
}

}  // namespace

bool WriteSingleEntryZip(const std::wstring& source, const std::wstring& target, const std::wstring& entryName,
                         const FILETIME& modified, ZipEntryFacts& facts, std::wstring& error) {
    facts = ZipEntryFacts{};
    facts.name = entryName;
    if (WriteZip(source, target, entryName, modified, facts, error)) return true;
    DeleteFileForce(target);
    return false;
}

bool ReadSingleEntryFacts(const std::wstring& archive, ZipEntryFacts& facts) {
    const UniqueZip zip(OpenZip(archive));
    if (!zip) return false;
    ZipEntry entry;
    if (GetZipItem(zip.get(), -1, entry) != ZipResult::Ok || entry.index != 1) return false;
    if (GetZipItem(zip.get(), 0, entry) != ZipResult::Ok) return false;
    facts.crc = entry.crc;
    facts.compressedSize = entry.compressedSize;
    facts.size = entry.uncompressedSize;
    facts.name = entry.name;
    return true;
}

}  // namespace mf::publish
