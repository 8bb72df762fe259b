#include "ui/dotnet_installer_start.h"

#include <shellapi.h>

#include "base/files.h"
#include "base/handles.h"
#include "engine/installer_check.h"
#include "engine/message_box.h"
#include "engine/process_state.h"

namespace mf::ui {

std::wstring DotNetDigestKey(const std::wstring& versionKey) {
    return L"dotnetfx" + versionKey + L"_sha256";
}

namespace {

void Refuse(const std::wstring& file, InstallerVerdict verdict) {
    WriteLog(L"The .NET Framework installer " + file + L" is refused (" + VerdictName(verdict) + L") and deleted");
    DeleteFileForce(file);
}

}  // namespace

void ReportRefusedInstaller(HWND owner) {
    ShowMessage(owner,
                Translate(L"The downloaded installer did not pass its check and was deleted,\nPlease download again."),
                MB_OK | MB_ICONWARNING);
}

InstallerStart StartCheckedDotNetInstaller(HWND owner, const std::wstring& file, const std::wstring& versionKey) {
    InstallerVerdict verdict = InstallerVerdict::Unreadable;
    // Held from the check until the process has started: with read sharing
    // only, nobody can put other bytes under the name in between.
    UniqueFile held = HoldInstaller(file);
    if (held)
        verdict =
            CheckInstaller(held.get(), file, ReadConfig(L"APPLICATION", DotNetDigestKey(versionKey)), kDotNetPublisher);
    if (verdict != InstallerVerdict::Trusted) {
        held.reset();
        Refuse(file, verdict);
        return InstallerStart::Refused;
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = owner;
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info)) {
        WriteLog(L"Cannot start " + file);
        return InstallerStart::Declined;
    }
    if (info.hProcess != nullptr) ::CloseHandle(info.hProcess);
    return InstallerStart::Started;
}

}  // namespace mf::ui
