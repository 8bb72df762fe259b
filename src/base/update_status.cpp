#include "base/update_status.h"

#include <iterator>

namespace mf {

namespace {

constexpr const wchar_t* kNames[] = {
    L"UpdateNone",        L"UpdateCheckRemote",      L"UpdateCheckRemoteError", L"UpdateCheckRemoteOk",
    L"UpdateDownload",    L"UpdateDownloadError",    L"UpdateDownloadOk",       L"UpdateCheckLocal",
    L"UpdateCheckLocalError", L"UpdateCheckLocalOk", L"UpdateCopy",             L"UpdateCopyError",
    L"UpdateCopyOk",      L"UpdateEnd",
};

}  // namespace

std::wstring StatusName(UpdateStatus status) {
    const int code = ToInt(status);
    if (code < 0 || code >= static_cast<int>(std::size(kNames))) return {};
    return kNames[code];
}

UpdateStatus StatusFromInt(int code) {
    if (code < 0 || code >= static_cast<int>(std::size(kNames))) return UpdateStatus::None;
    return static_cast<UpdateStatus>(code);
}

}  // namespace mf
