#include "apply/write_probe.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/strings.h"

namespace mf {

namespace {

DWORD ResultOf(BOOL done) { return done ? ERROR_SUCCESS : ::GetLastError(); }

bool HasSuffixAfterFirst(const std::wstring& name, const wchar_t* suffix) {
    const std::wstring hay = ToLower(name) + L"*#06#";
    const std::wstring needle = std::wstring(suffix) + L"*#06#";
    const std::size_t at = hay.find(needle);
    return at != std::wstring::npos && at > 0;
}

WriteProbe Writable() { return WriteProbe{true, false, false}; }
WriteProbe Denied() { return WriteProbe{true, true, false}; }
WriteProbe Locked() { return WriteProbe{false, false, false}; }

WriteProbe AfterFailure(DWORD error) { return error == ERROR_ACCESS_DENIED ? Denied() : Locked(); }

// Moves a program file aside and back. A file that cannot be given its name
// back is not reported writable: the install phase would not find it, and
// the caller must learn where it is.
WriteProbe ProbeByRename(const std::wstring& path, FileOperations& files) {
    const std::wstring aside = path + kProbeSuffix;
    files.Delete(aside);
    const DWORD error = files.Rename(path, aside);
    if (error != ERROR_SUCCESS) return AfterFailure(error);
    for (int attempt = 0; attempt < kRestoreAttempts; ++attempt) {
        if (attempt > 0) files.Pause(kRestoreDelayMs);
        if (files.Rename(aside, path) == ERROR_SUCCESS) return Writable();
    }
    return WriteProbe{false, false, true};
}

}  // namespace

bool SystemFileOperations::Exists(const std::wstring& path) { return FileExists(path); }

DWORD SystemFileOperations::OpenForWriting(const std::wstring& path) {
    UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file ? ERROR_SUCCESS : ::GetLastError();
}

DWORD SystemFileOperations::SetNormalAttributes(const std::wstring& path) {
    return ResultOf(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
}

DWORD SystemFileOperations::Rename(const std::wstring& from, const std::wstring& to) {
    return ResultOf(::MoveFileW(from.c_str(), to.c_str()));
}

void SystemFileOperations::Delete(const std::wstring& path) { DeleteFileForce(path); }

DWORD SystemFileOperations::CreateAndDelete(const std::wstring& path) {
    UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();
    file.reset();
    ::DeleteFileW(path.c_str());
    return ERROR_SUCCESS;
}

void SystemFileOperations::Pause(unsigned milliseconds) { ::Sleep(milliseconds); }

bool IsProgramFile(const std::wstring& path) {
    return HasSuffixAfterFirst(path, L".exe") || HasSuffixAfterFirst(path, L".dll");
}

WriteProbe ProbeWritable(const std::wstring& path, bool deniedPathsKnown, FileOperations& files) {
    // A program file that an earlier probe moved aside and that never got
    // its name back (the engine was ended in between) gets it now.
    if (IsProgramFile(path) && !files.Exists(path) && files.Exists(path + kProbeSuffix))
        (void)files.Rename(path + kProbeSuffix, path);
    if (files.Exists(path)) {
        if (files.OpenForWriting(path) == ERROR_SUCCESS) return Writable();
        if (IsProgramFile(path)) return ProbeByRename(path, files);
        files.SetNormalAttributes(path);
        const DWORD error = files.OpenForWriting(path);
        if (error == ERROR_SUCCESS) return Writable();
        return AfterFailure(error);
    }
    if (deniedPathsKnown) return Writable();
    return files.CreateAndDelete(path) == ERROR_ACCESS_DENIED ? Denied() : Writable();
}

}  // namespace mf
