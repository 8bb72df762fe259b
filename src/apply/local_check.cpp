#include "apply/local_check.h"

#include <windows.h>

#include "base/handles.h"

namespace mf {

bool IsFileWritable(const std::wstring& path) {
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return file.valid();
    }
    {
        const UniqueFile probe(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe) return false;
    }
    ::DeleteFileW(path.c_str());
    return true;
}

}  // namespace mf
