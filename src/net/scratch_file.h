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
    // The same for a file that is kept only under another name (KeepAs):
    // it is marked for removal from the moment it exists, on every system.
    [[nodiscard]] static ScratchFile CreateToRename(const std::wstring& path);

    [[nodiscard]] explicit operator bool() const { return static_cast<bool>(file_); }
    [[nodiscard]] HANDLE get() const { return file_.get(); }
    [[nodiscard]] const std::wstring& path() const { return path_; }

    // A second handle to the same open file, for a thread that writes it:
    // the file lives until both are closed.
    [[nodiscard]] UniqueFile Duplicate() const;

    // The file stays when it is closed. False when the system refuses; the
    // file is then removed on close as before.
    [[nodiscard]] bool Keep();

    // Keeps the file under `finalPath` (replacing what is there) and closes
    // it; the scratch name is gone either way. False when it cannot be kept.
    [[nodiscard]] bool KeepAs(const std::wstring& finalPath);

    // Closes the handle: the file is gone unless kept.
    void Close();

private:
    // How the removal was set, and so how it is taken back.
    enum class Mode {
        DeleteOnClose,  // FILE_FLAG_DELETE_ON_CLOSE, which the system can clear
        Linked,         // FILE_FLAG_DELETE_ON_CLOSE; kept as a second link
        Disposition,    // a disposition set after the file was made
    };
    static ScratchFile Make(const std::wstring& path, bool renamedLater);
    bool CopyTo(const std::wstring& finalPath);

    UniqueFile file_;
    std::wstring path_;
    Mode mode_ = Mode::Disposition;
};

}  // namespace mf
