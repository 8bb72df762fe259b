// A file or folder that this process may not write: under Wine, the Linux
// "immutable" attribute makes every write, rename, attribute change and
// creation inside a folder fail with access denied, which is how a file
// the user lacks the rights for behaves on Windows. Setting the attribute
// needs root (CAP_LINUX_IMMUTABLE); where it cannot be set, `made()` is
// false and the test that needs it is skipped.
#pragma once

#include <string>

namespace mf::test {

class ImmutablePath {
public:
    explicit ImmutablePath(std::wstring path);
    ~ImmutablePath();
    ImmutablePath(const ImmutablePath&) = delete;
    ImmutablePath& operator=(const ImmutablePath&) = delete;

    [[nodiscard]] bool made() const { return made_; }
    [[nodiscard]] const std::wstring& path() const { return path_; }
    // Why it could not be made.
    [[nodiscard]] const std::wstring& reason() const { return reason_; }

private:
    std::wstring path_;
    std::wstring unixPath_;
    std::wstring reason_;
    bool started_ = false;
    bool made_ = false;
};

}  // namespace mf::test
