#include "net/scratch_file.h"

#include "base/files.h"

namespace mf {
namespace {

bool SetRemoveOnClose(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

}  // namespace

ScratchFile ScratchFile::Create(const std::wstring& path) {
    // Whatever stood under the name goes first (a read-only or hidden file
    // left by someone else, or a link: as a link, never what it points to),
    // and the file is made new, so that nothing planted there in between is
    // written through.
    DeleteFileForce(path);
    ScratchFile scratch;
    // The removal is a disposition set on the open file rather than
    // FILE_FLAG_DELETE_ON_CLOSE, because only a disposition can be taken
    // back when the download succeeds.
    scratch.file_.reset(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!scratch.file_) return {};
    if (!SetRemoveOnClose(scratch.file_.get(), true)) {
        scratch.file_.reset();
        DeleteFileForce(path);
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
