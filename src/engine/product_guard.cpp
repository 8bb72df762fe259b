#include "engine/product_guard.h"

#include <sddl.h>

#include "base/strings.h"

namespace mf {

namespace {

// Any engine may wait for the mutex, whatever rights or integrity level it
// runs with: an elevated engine and one that is not meet on the same
// product (the relaunch as administrator hands over from one to the other).
constexpr const wchar_t* kGuardSecurity = L"D:(A;;GA;;;WD)S:(ML;;NW;;;LW)";

HANDLE CreateOrOpen(const std::wstring& name) {
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(kGuardSecurity, SDDL_REVISION_1, &descriptor, nullptr))
        attributes.lpSecurityDescriptor = descriptor;
    HANDLE mutex = ::CreateMutexW(&attributes, FALSE, name.c_str());
    if (descriptor != nullptr) ::LocalFree(descriptor);
    if (mutex == nullptr && ::GetLastError() == ERROR_ACCESS_DENIED)
        mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    return mutex;
}

}  // namespace

std::wstring ProductGuardName(const std::wstring& workFolder) {
    std::wstring folder = ToLower(workFolder);
    ReplaceAll(folder, L"/", L"\\");
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    // A backslash would name a namespace: the folder's go as "/".
    ReplaceAll(folder, L"\\", L"/");
    // Object names end at MAX_PATH characters; a longer folder goes by its
    // hash (FNV-1a, 64 bits).
    if (folder.size() > 200) {
        unsigned long long hash = 14695981039346656037ull;
        for (wchar_t c : folder) {
            hash ^= static_cast<unsigned long long>(c);
            hash *= 1099511628211ull;
        }
        wchar_t hex[17] = {};
        for (int i = 15; i >= 0; --i, hash >>= 4) hex[i] = L"0123456789abcdef"[hash & 15];
        folder = hex;
    }
    return L"Global\\Mirefold.Product:" + folder;
}

ProductGuard::Result ProductGuard::Acquire(const std::wstring& workFolder, DWORD waitMs) {
    mutex_.reset(CreateOrOpen(ProductGuardName(workFolder)));
    if (!mutex_) return Result::Unguarded;
    switch (::WaitForSingleObject(mutex_.get(), waitMs)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED: return Result::Held;  // an engine that ended without releasing it
        case WAIT_TIMEOUT: mutex_.reset(); return Result::Busy;
        default: mutex_.reset(); return Result::Unguarded;
    }
}

}  // namespace mf
