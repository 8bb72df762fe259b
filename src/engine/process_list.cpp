#include "engine/process_list.h"

#include <psapi.h>

#include "base/handles.h"

namespace mf {

namespace {

UniqueHandle OpenForModules(DWORD processId) {
    return UniqueHandle(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
}

std::vector<HMODULE> ModulesOf(HANDLE process) {
    return ReadGrowingList<HMODULE>([process](HMODULE* buffer, DWORD bytes, DWORD* used) {
        return ::EnumProcessModules(process, buffer, bytes, used) != FALSE;
    });
}

}  // namespace

std::vector<DWORD> EnumerateProcessIds() {
    return ReadGrowingList<DWORD>(
        [](DWORD* buffer, DWORD bytes, DWORD* used) { return ::EnumProcesses(buffer, bytes, used) != FALSE; });
}

std::vector<HMODULE> EnumerateModules(DWORD processId) {
    const UniqueHandle process = OpenForModules(processId);
    if (!process) return {};
    return ModulesOf(process.get());
}

std::wstring MainModulePath(DWORD processId) {
    const UniqueHandle process = OpenForModules(processId);
    if (!process) return {};
    const std::vector<HMODULE> modules = ModulesOf(process.get());
    if (modules.empty() || modules.front() == nullptr) return {};
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameExW(process.get(), modules.front(), buffer.data(),
                                               static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size() - 1 || buffer.size() >= 32768) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace mf
