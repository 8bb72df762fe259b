#include "net/scratch_file.h"

namespace mf {
namespace {

bool SetRemoveOnClose(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

}  // namespace

ScratchFile ScratchFile::Create(const std::wstring& path) {
    // A read-only or hidden file left by someone else cannot be replaced
    // "always": it loses those attributes first.
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ScratchFile scratch;
    // The removal is a disposition set on the open file rather than
    // FILE_FLAG_DELETE_ON_CLOSE, because only a disposition can be taken
    // back when the download succeeds.
    scratch.file_.reset(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!scratch.file_) return {};
    if (!SetRemoveOnClose(scratch.file_.get(), true)) {
        scratch.file_.reset();
        ::DeleteFileW(path.c_str());
        return {};
    }
    scratch.path_ = path;
    return scratch;
}

UniqueFile ScratchFile::Duplicate() const {
    HANDLE copy = nullptr;
    if (!file_ || !::DuplicateHandle(::GetCurrentProcess(), file_.get(), ::GetCurrentProcess(), &copy, 0, FALSE,
                                     DUPLICATE_SAME_ACCESS)) {
        return {};
    }
    return UniqueFile(copy);
}

bool ScratchFile::Keep() { return file_ && SetRemoveOnClose(file_.get(), false); }

void ScratchFile::Close() { file_.reset(); }

}  // namespace mf
