#include "app/work_folder.h"

#include <windows.h>

#include <vector>

namespace mf {

std::wstring ExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring ExecutableFolder() {
    std::wstring path = ExecutablePath();
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring WorkFolder::Get() {
    std::lock_guard guard(mutex_);
    if (!set_) {
        path_ = ExecutableFolder();
        set_ = true;
    }
    return path_;
}

void WorkFolder::Set(const std::wstring& path) {
    std::lock_guard guard(mutex_);
    path_ = path;
    set_ = true;
}

}  // namespace mf
