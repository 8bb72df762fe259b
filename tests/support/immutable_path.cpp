#include "support/immutable_path.h"

#include <windows.h>

#include <chrono>
#include <string>

#include "base/files.h"
#include "base/handles.h"
#include "base/strings.h"
#include "support/test_support.h"

namespace mf::test {

namespace {

constexpr wchar_t kChattr[] = L"Z:\\usr\\bin\\chattr";

// Wine starts a Linux program given by its path like a Windows one, but
// its process handle cannot be waited for: the effect is what tells.
void StartChattr(const wchar_t* flag, const std::wstring& unixPath) {
    ChildProcess::Start(std::wstring(kChattr) + L" " + flag + L" \"" + unixPath + L"\"");
}

// The error that writing the file, or creating a file in the folder, ends
// with (ERROR_SUCCESS when it can be done). The folder's probe takes a name
// that is free at the time, so a probe left behind cannot decide the next
// look.
DWORD WriteError(const std::wstring& path) {
    if (FolderExists(path)) {
        // (Wine's GetTempFileName reports a name even when it could not
        // create the file, so the name is found here.)
        for (unsigned n = 0;; ++n) {
            const std::wstring probe = path + L"\\immutable" + std::to_wstring(n) + L".probe";
            UniqueFile file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
            const DWORD error = file ? ERROR_SUCCESS : ::GetLastError();
            if (error == ERROR_FILE_EXISTS && n < 100) continue;
            if (file) {
                file.reset();
                ::DeleteFileW(probe.c_str());
            }
            return error;
        }
    }
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    return file ? ERROR_SUCCESS : ::GetLastError();
}

bool WriteRefused(const std::wstring& path) { return WriteError(path) == ERROR_ACCESS_DENIED; }

}  // namespace

ImmutablePath::ImmutablePath(std::wstring path) : path_(std::move(path)) {
    unixPath_ = UnixPathOf(path_);
    if (unixPath_.empty()) {
        reason_ = L"not running under Wine";
        return;
    }
    if (::GetFileAttributesW(kChattr) == INVALID_FILE_ATTRIBUTES) {
        reason_ = L"no chattr on this machine";
        return;
    }
    if (WriteRefused(path_)) {
        reason_ = L"already refused before";
        return;
    }
    // Now and then a Linux program started from Wine under load never runs;
    // chattr is idempotent, so it is simply started again.
    started_ = true;
    for (int attempt = 0; attempt < 5 && !made_; ++attempt) {
        StartChattr(L"+i", unixPath_);
        made_ = WaitUntil([&] { return WriteRefused(path_); }, std::chrono::seconds(5));
    }
    if (!made_) {
        reason_ = L"chattr +i " + unixPath_ + L" had no effect (last write error " +
                  std::to_wstring(WriteError(path_)) +
                  L"; it needs root, CAP_LINUX_IMMUTABLE and a file system that keeps the attribute)";
    }
}

ImmutablePath::~ImmutablePath() {
    // Also after a time-out: the attribute may have come late.
    if (!started_) return;
    for (int attempt = 0; attempt < 3; ++attempt) {
        StartChattr(L"-i", unixPath_);
        if (WaitUntil([&] { return !WriteRefused(path_); }, std::chrono::seconds(5))) break;
    }
}

}  // namespace mf::test
