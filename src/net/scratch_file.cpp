#include "net/scratch_file.h"

#include <winternl.h>

#include <vector>

#include "base/entry_rename.h"
#include "base/files.h"

namespace mf {
namespace {

bool SetRemoveOnClose(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

// FileDispositionInformationEx and its flags (Windows 10 1607 and later,
// and Wine), asked of the kernel directly: the system's own wrapper knows it
// only on Windows.
constexpr auto kFileDispositionInformationEx = static_cast<FILE_INFORMATION_CLASS>(64);
constexpr ULONG kDispositionDelete = 0x1;
constexpr ULONG kDispositionOnClose = 0x8;

// The delete-on-close state of a handle made with FILE_FLAG_DELETE_ON_CLOSE,
// set or cleared.
bool SetDeleteOnClose(HANDLE file, bool remove) {
    ULONG flags = kDispositionOnClose | (remove ? kDispositionDelete : 0);
    IO_STATUS_BLOCK status{};
    return ::NtSetInformationFile(file, &status, &flags, sizeof(flags), kFileDispositionInformationEx) >= 0;
}

HANDLE CreateFor(const std::wstring& path, DWORD flags) {
    return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

}  // namespace

ScratchFile ScratchFile::Create(const std::wstring& path) { return Make(path, false); }

ScratchFile ScratchFile::CreateToRename(const std::wstring& path) { return Make(path, true); }

ScratchFile ScratchFile::Make(const std::wstring& path, bool renamedLater) {
    // Whatever stood under the name goes first (a read-only or hidden file
    // left by someone else, or a link: as a link, never what it points to),
    // and the file is made new, so that nothing planted there in between is
    // written through.
    DeleteFileForce(path);
    ScratchFile scratch;
    scratch.path_ = path;
    // Made with its removal at once, so that no moment is left in which the
    // end of the process would leave the file behind. Where the system can
    // take FILE_FLAG_DELETE_ON_CLOSE back, that is how the file is kept. A
    // file that takes another name when it is kept can do without: the new
    // name is a second link to it, and only the scratch name goes. Other
    // files get the removal as a disposition right after they are made.
    // Each file asks for itself: it is the system and the file's volume that
    // answer, and the question costs one call.
    scratch.file_.reset(CreateFor(path, FILE_FLAG_DELETE_ON_CLOSE));
    if (!scratch.file_) return {};
    // Setting what is already set tells whether the call is known.
    if (SetDeleteOnClose(scratch.file_.get(), true)) {
        scratch.mode_ = Mode::DeleteOnClose;
        return scratch;
    }
    if (renamedLater) {
        scratch.mode_ = Mode::Linked;
        return scratch;
    }
    scratch.file_.reset();  // removed as it closes
    scratch.file_.reset(CreateFor(path, 0));
    if (!scratch.file_) return {};
    if (!SetRemoveOnClose(scratch.file_.get(), true)) {
        scratch.file_.reset();
        DeleteFileForce(path);
        return {};
    }
    scratch.mode_ = Mode::Disposition;
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

bool ScratchFile::Keep() {
    if (!file_) return false;
    switch (mode_) {
        case Mode::DeleteOnClose: return SetDeleteOnClose(file_.get(), false);
        case Mode::Disposition: return SetRemoveOnClose(file_.get(), false);
        case Mode::Linked: return false;  // kept only under another name
    }
    return false;
}

// The bytes of the open file into a new file (where no second link can be
// made: a FAT volume).
bool ScratchFile::CopyTo(const std::wstring& finalPath) {
    UniqueFile out(
        ::CreateFileW(finalPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return false;
    std::vector<char> buffer(1024 * 1024);
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(file_.get(), zero, nullptr, FILE_BEGIN)) return false;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file_.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return false;
        if (read == 0) return true;
        DWORD written = 0;
        if (!::WriteFile(out.get(), buffer.data(), read, &written, nullptr) || written != read) return false;
    }
}

bool ScratchFile::KeepAs(const std::wstring& finalPath) {
    if (!file_) return false;
    // What stands under the final name goes as itself (a link planted there
    // stays and fails the keep: every call by name would act on what the
    // link points to, under Wine even a rename or a deletion).
    DeleteFileForce(finalPath);
    if (mode_ != Mode::Linked) {
        // The open file takes the name by its handle, never replacing what
        // stands there; only then is it kept.
        const bool kept = RenameOpenEntry(file_.get(), finalPath) && Keep();
        Close();
        return kept;
    }
    if (::GetFileAttributesW(finalPath.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    bool kept = ::CreateHardLinkW(finalPath.c_str(), path_.c_str(), nullptr) != FALSE;
    if (!kept) {
        kept = CopyTo(finalPath);
        if (!kept) ::DeleteFileW(finalPath.c_str());
    }
    Close();  // the scratch name goes; a link keeps the file
    return kept;
}

void ScratchFile::Close() { file_.reset(); }

}  // namespace mf
