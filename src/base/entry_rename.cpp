#include "base/entry_rename.h"

#include <cstring>
#include <vector>

namespace mf {

bool RenameOpenEntry(HANDLE entry, const std::wstring& newPath) {
    const std::size_t nameBytes = newPath.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(rename->FileName, newPath.data(), nameBytes);
    return ::SetFileInformationByHandle(entry, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != FALSE;
}

}  // namespace mf
