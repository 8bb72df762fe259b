// A library to register: DllRegisterServer writes "<own path>.registered"
// with the value of its dependency, proving that the dependency was found.
// Exported by name without decoration (testreg.def), as a 32-bit build
// would otherwise export "DllRegisterServer@0".
#include <windows.h>

#include <string>

extern "C" __declspec(dllimport) int MirefoldTestDependency();

namespace {
HMODULE g_self = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_self = instance;
    return TRUE;
}

extern "C" HRESULT __stdcall DllRegisterServer() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(g_self, self, MAX_PATH);
    const std::wstring marker = std::wstring(self) + L".registered";
    const HANDLE file =
        ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return E_FAIL;
    const std::string text = "registered " + std::to_string(MirefoldTestDependency());
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
    return S_OK;
}
