#include "base/md5.h"

#include <algorithm>
#include <array>
#include <vector>

#include "base/strings.h"

namespace mf {

namespace {

constexpr DWORD kReadBlock = 256 * 1024;
constexpr DWORD kMd5Bytes = 16;

}  // namespace

Md5::Md5() : Md5(PROV_RSA_FULL, CALG_MD5, kMd5Bytes) {}

Md5::Md5(DWORD providerType, ALG_ID algorithm, DWORD digestBytes) : digestBytes_(digestBytes) {
    // A verify-only context: no key container is opened or created, so this
    // works for any account, elevated or not.
    if (!::CryptAcquireContextW(provider_.put(), nullptr, nullptr, providerType, CRYPT_VERIFYCONTEXT)) return;
    ok_ = ::CryptCreateHash(provider_.get(), algorithm, 0, 0, hash_.put()) != FALSE;
}

void Md5::Update(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const BYTE*>(data);
    // CryptHashData takes a 32-bit length.
    while (ok_ && size > 0) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 0x40000000));
        ok_ = ::CryptHashData(hash_.get(), bytes, piece, 0) != FALSE;
        bytes += piece;
        size -= piece;
    }
}

std::wstring Md5::Finish() {
    std::vector<BYTE> digest(digestBytes_);
    DWORD length = digestBytes_;
    const bool done = ok_ && ::CryptGetHashParam(hash_.get(), HP_HASHVAL, digest.data(), &length, 0) &&
                      length == digestBytes_;
    ok_ = false;
    if (!done) return {};
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(2 * digest.size());
    for (const BYTE b : digest) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    return text;
}

std::wstring Sha256Of(const void* data, std::size_t size) {
    Md5 sha(PROV_RSA_AES, CALG_SHA_256, 32);
    sha.Update(data, size);
    return sha.Finish();
}

std::wstring Md5Of(const void* data, std::size_t size) {
    Md5 md5;
    md5.Update(data, size);
    return md5.Finish();
}

bool Md5OfFile(const std::wstring& path, std::wstring* hexLower) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    Md5 md5;
    std::vector<BYTE> buffer(kReadBlock);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), buffer.data(), kReadBlock, &read, nullptr)) return false;
        if (read == 0) break;
        md5.Update(buffer.data(), read);
    }
    std::wstring text = md5.Finish();
    if (text.empty()) return false;
    *hexLower = std::move(text);
    return true;
}

bool Md5Matches(const std::wstring& digest, const std::wstring& key) {
    return !key.empty() && EqualsNoCase(digest, key);
}

}  // namespace mf
