// A folder that is the executable's folder until it is set; read and set
// from any thread.
#pragma once

#include <mutex>
#include <string>

namespace mf {

class SettableFolder {
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
