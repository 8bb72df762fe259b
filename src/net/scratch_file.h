// A file that a download writes. The system removes it when its last handle
// closes, also when the process ends in the middle of the download, unless
// it was kept: so a download that fails, is abandoned or is cut short by the
// end of the process leaves nothing behind.
#pragma once

#include <windows.h>

#include <string>

#include "base/handles.h"

namespace mf {

class ScratchFile {
public:
    ScratchFile() = default;
    ScratchFile(ScratchFile&&) noexcept = default;
    ScratchFile& operator=(ScratchFile&&) noexcept = default;

    // Creates the file anew for reading and writing (what stood under the
    // name is removed first; a link there as a link, never what it points
    // to, and a name that cannot be freed fails), marked for
    // removal. An empty object when it cannot be created.
    [[nodiscard]] static ScratchFile Create(const std::wstring& path);

    [[nodiscard]] explicit operator bool() const { return static_cast<bool>(file_); }
    [[nodiscard]] HANDLE get() const { return file_.get(); }
    [[nodiscard]] const std::wstring& path() const { return path_; }

    // A second handle to the same open file, for a thread that writes it:
    // the file lives until both are closed.
    [[nodiscard]] UniqueFile Duplicate() const;

    // The file stays when it is closed. False when the system refuses; the
    // file is then removed on close as before.
    [[nodiscard]] bool Keep();

    // Closes the handle: the file is gone unless kept.
    void Close();

private:
    UniqueFile file_;
    std::wstring path_;
};

}  // namespace mf
