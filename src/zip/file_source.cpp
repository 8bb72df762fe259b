#include "zip/file_source.h"

namespace mf {

bool FileSource::Open(const wchar_t* path, FileSource& out) {
    UniqueFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    out.file_ = file.get();
    out.owned_ = std::move(file);
    return out.Measure();
}

bool FileSource::Borrow(HANDLE file, FileSource& out) {
    if (file == nullptr || file == INVALID_HANDLE_VALUE) return false;
    // A pipe or console has no position the archive could start at.
    if (::GetFileType(file) != FILE_TYPE_DISK) return false;
    out.file_ = file;
    return out.Measure();
}

bool FileSource::Measure() {
    LARGE_INTEGER position{};
    LARGE_INTEGER size{};
    if (!::SetFilePointerEx(file_, LARGE_INTEGER{}, &position, FILE_CURRENT)) return false;
    if (!::GetFileSizeEx(file_, &size)) return false;
    start_ = static_cast<std::uint64_t>(position.QuadPart);
    const auto total = static_cast<std::uint64_t>(size.QuadPart);
    size_ = total > start_ ? total - start_ : 0;
    return true;
}

bool FileSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) {
    if (offset > size_ || length > size_ - offset) return false;
    auto* out = static_cast<unsigned char*>(buffer);
    std::uint64_t at = start_ + offset;
    while (length != 0) {
        const DWORD chunk = length > 0x100000 ? 0x100000 : static_cast<DWORD>(length);
        LARGE_INTEGER target{};
        target.QuadPart = static_cast<LONGLONG>(at);
        if (!::SetFilePointerEx(file_, target, nullptr, FILE_BEGIN)) return false;
        DWORD got = 0;
        if (!::ReadFile(file_, out, chunk, &got, nullptr) || got == 0) return false;
        out += got;
        at += got;
        length -= got;
    }
    return true;
}

}  // namespace mf
