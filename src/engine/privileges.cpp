#include "engine/privileges.h"

#include <windows.h>

#include "base/dynamic_export.h"
#include "base/handles.h"

namespace mf {

bool EnableDebugPrivilege() {
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return false;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid)) return false;
    return ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr) != FALSE &&
           ::GetLastError() == ERROR_SUCCESS;
}

}  // namespace mf

namespace mf {

bool SystemSupportsElevation() {
    // GetVersionEx reports what the manifest declares support for; the
    // kernel's own version is the one that decides.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    const auto rtlGetVersion = GetExport<RtlGetVersionFn>(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0) return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 6;
}

}  // namespace mf
