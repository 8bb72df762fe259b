// The update status of a run, as the notification windows and hosts see it.
// The numbers are the protocol's: never renumber.
#pragma once

#include <string>

namespace mf {

enum class UpdateStatus : int {
    None = 0,
    CheckRemote = 1,
    CheckRemoteError = 2,
    CheckRemoteOk = 3,
    Download = 4,
    DownloadError = 5,
    DownloadOk = 6,
    CheckLocal = 7,
    CheckLocalError = 8,
    CheckLocalOk = 9,
    Copy = 10,
    CopyError = 11,
    CopyOk = 12,
    End = 13,
};

[[nodiscard]] constexpr int ToInt(UpdateStatus status) { return static_cast<int>(status); }

// "UpdateNone" ... "UpdateEnd"; empty for a number outside the table.
[[nodiscard]] std::wstring StatusName(UpdateStatus status);

// The status for a stored number; None for a number outside the table.
[[nodiscard]] UpdateStatus StatusFromInt(int code);

}  // namespace mf
