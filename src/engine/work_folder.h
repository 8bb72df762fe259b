// The working folder: every relative path of the engine is taken against it.
// Until start-up sets it, it is the executable's folder.
#pragma once

#include <mutex>
#include <string>

namespace mf {

class WorkFolder {
public:
    // The folder, normally with a trailing backslash.
    [[nodiscard]] std::wstring Get();
    void Set(const std::wstring& path);

private:
    std::mutex mutex_;
    std::wstring path_;
    bool set_ = false;
};

}  // namespace mf
