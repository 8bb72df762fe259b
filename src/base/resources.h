// Reading a resource of a module as bytes.
#pragma once

#include <windows.h>

#include <string_view>

namespace mf {

// The bytes of resource `id` of `type`; empty when the module has none.
// The view stays valid while the module is loaded.
[[nodiscard]] std::string_view ResourceBytes(HMODULE module, const wchar_t* type, int id);

}  // namespace mf
