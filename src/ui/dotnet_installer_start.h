// Starting the downloaded .NET Framework installer as administrator, only
// after it passed its check, and from the file that was checked.
#pragma once

#include <windows.h>

#include <string>

namespace mf::ui {

// The setting that names the installer's SHA-256 digest: "dotnetfx" + the
// version key + "_sha256" in section APPLICATION, beside its address.
[[nodiscard]] std::wstring DotNetDigestKey(const std::wstring& versionKey);

enum class InstallerStart { Started, Declined, Refused };

// Holds the installer open with read sharing only, checks it (the configured
// digest, else its signature by the .NET publisher) and starts it with the
// "runas" verb while still holding it. A file that fails the check is
// deleted and logged: Refused. Declined when the system did not start it
// (elevation declined).
InstallerStart StartCheckedDotNetInstaller(HWND owner, const std::wstring& file, const std::wstring& versionKey);

// Tells the user that the installer failed its check and is gone.
void ReportRefusedInstaller(HWND owner);

}  // namespace mf::ui
