#include "base/md5.h"

#include <windows.h>
#include <wincrypt.h>

#include <array>
#include <vector>

#include "base/handles.h"
#include "base/strings.h"

namespace mf {

namespace {

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

using UniqueCryptProvider = UniqueResource<traits::CryptProvider>;
using UniqueCryptHash = UniqueResource<traits::CryptHash>;

constexpr DWORD kReadBlock = 256 * 1024;
constexpr DWORD kMd5Bytes = 16;

}  // namespace

bool Md5OfFile(const std::wstring& path, std::wstring* hexLower) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    // A verify-only context: no key container is opened or created, so this
    // works for any account, elevated or not.
    UniqueCryptProvider provider;
    if (!::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return false;
    UniqueCryptHash hash;
    if (!::CryptCreateHash(provider.get(), CALG_MD5, 0, 0, hash.put())) return false;

    std::vector<BYTE> buffer(kReadBlock);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), buffer.data(), kReadBlock, &read, nullptr)) return false;
        if (read == 0) break;
        if (!::CryptHashData(hash.get(), buffer.data(), read, 0)) return false;
    }
    std::array<BYTE, kMd5Bytes> digest{};
    DWORD length = kMd5Bytes;
    if (!::CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &length, 0) || length != kMd5Bytes) return false;

    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(2 * kMd5Bytes);
    for (const BYTE b : digest) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    *hexLower = std::move(text);
    return true;
}

bool Md5Matches(const std::wstring& digest, const std::wstring& key) {
    return !key.empty() && EqualsNoCase(digest, key);
}

}  // namespace mf
