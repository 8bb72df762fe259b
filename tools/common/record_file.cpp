#include "record_file.h"

#include <windows.h>

#include "base/handles.h"
#include "base/strings.h"

namespace mf::tools {

void AppendRecordLine(const std::wstring& path, std::wstring_view line) {
    if (path.empty()) return;
    const std::string bytes = Narrow(line, CodePage::Utf8) + "\n";
    const UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace mf::tools
