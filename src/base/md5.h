// MD5 digests through the Windows crypto API, for lists whose keys are
// content digests: the engine verifies what it fetched, the publishing tool
// writes the keys, and both compute them with this code.
#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <wincrypt.h>

#include <cstddef>
#include <string>

#include "base/handles.h"

namespace mf {

namespace traits {
struct CryptProvider {
    using Type = HCRYPTPROV;
    static Type Invalid() noexcept { return 0; }
    static bool IsValid(Type h) noexcept { return h != 0; }
    static void Close(Type h) noexcept { ::CryptReleaseContext(h, 0); }
};
struct CryptHash {
    using Type = HCRYPTHASH;
    static Type Invalid() noexcept { return 0; }
    static bool IsValid(Type h) noexcept { return h != 0; }
    static void Close(Type h) noexcept { ::CryptDestroyHash(h); }
};
}  // namespace traits

// The SHA-256 digest of a memory block (64 lower-case hexadecimal digits;
// empty when the provider is missing).
[[nodiscard]] std::wstring Sha256Of(const void* data, std::size_t size);

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
    friend std::wstring Sha256Of(const void* data, std::size_t size);
    // Another digest of the crypto API, of `digestBytes` bytes.
    Md5(DWORD providerType, ALG_ID algorithm, DWORD digestBytes);

    DWORD digestBytes_ = 16;
    UniqueResource<traits::CryptProvider> provider_;
    UniqueResource<traits::CryptHash> hash_;
    bool ok_ = false;
};

// The digest of a whole memory block.
[[nodiscard]] std::wstring Md5Of(const void* data, std::size_t size);

// The MD5 digest of the file's bytes as 32 lower-case hexadecimal digits.
// False (and `hexLower` untouched) when the file cannot be read to its end
// or the crypto provider is not available.
[[nodiscard]] bool Md5OfFile(const std::wstring& path, std::wstring* hexLower);

// Whether a digest equals a key as a list writes it (hexadecimal digits in
// either case); an empty key matches nothing.
[[nodiscard]] bool Md5Matches(const std::wstring& digest, const std::wstring& key);

}  // namespace mf
