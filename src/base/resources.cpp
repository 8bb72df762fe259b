#include "base/resources.h"

namespace mf {

std::string_view ResourceBytes(HMODULE module, const wchar_t* type, int id) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) return {};
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (data == nullptr) return {};
    return std::string_view(static_cast<const char*>(data), ::SizeofResource(module, found));
}

}  // namespace mf
