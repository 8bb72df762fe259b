// MD5 digests of release files, through the system's CNG provider. The keys
// of a published list are compared by the engine with the MD5 of the bytes it
// fetched (also computed by the system), so both ends use the same code.
#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <bcrypt.h>

#include <cstddef>
#include <string>

#include "base/handles.h"

namespace mf::publish {

namespace traits {
struct HashAlgorithm {
    using Type = BCRYPT_ALG_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct Hash {
    using Type = BCRYPT_HASH_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::BCryptDestroyHash(h); }
};
}  // namespace traits

// One digest in the making. valid() is false when the provider is missing or
// a call failed; Finish() then gives an empty text.
class Md5 {
public:
    Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    [[nodiscard]] bool valid() const { return ok_; }
    void Update(const void* data, std::size_t size);
    // 32 lower-case hexadecimal digits; the object is spent afterwards.
    [[nodiscard]] std::wstring Finish();

private:
    UniqueResource<traits::HashAlgorithm> algorithm_;
    UniqueResource<traits::Hash> hash_;
    bool ok_ = false;
};

// The digest of a whole memory block.
[[nodiscard]] std::wstring Md5Of(const void* data, std::size_t size);

}  // namespace mf::publish
