#include "base/settable_folder.h"

#include "base/files.h"

namespace mf {

std::wstring SettableFolder::Get() {
    std::lock_guard guard(mutex_);
    if (!set_) {
        path_ = ExecutableFolder();
        set_ = true;
    }
    return path_;
}

void SettableFolder::Set(const std::wstring& path) {
    std::lock_guard guard(mutex_);
    path_ = path;
    set_ = true;
}

}  // namespace mf
