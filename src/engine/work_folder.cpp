#include "engine/work_folder.h"

#include "base/files.h"

#include <windows.h>


namespace mf {

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
