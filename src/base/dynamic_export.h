// Functions looked up by name at run time (GetProcAddress).
//
// The system hands every export back as the one generic FARPROC type, which
// names no parameters and, in the 32-bit build, the stdcall convention. The
// caller names the function's exact type here, calling convention included
// (WINAPI for the system's exports, CDECL for Wine's own); this is the one
// place where that cast is made, so the warning about casts between
// function types stays on for everything else (a callback that lacks its
// CALLBACK is a different type in the 32-bit build and corrupts the stack).
#pragma once

#include <windows.h>

#include <type_traits>

namespace mf {

template <class Function>
[[nodiscard]] Function GetExport(HMODULE module, const char* name) {
    static_assert(std::is_pointer_v<Function> && std::is_function_v<std::remove_pointer_t<Function>>,
                  "GetExport names a pointer to a function type");
    if (module == nullptr) return nullptr;
    const FARPROC address = ::GetProcAddress(module, name);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

}  // namespace mf
