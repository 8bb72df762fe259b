#include "md5.h"

#include <algorithm>

namespace mf::publish {

Md5::Md5() {
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(algorithm_.put(), BCRYPT_MD5_ALGORITHM, nullptr, 0))) return;
    ok_ = BCRYPT_SUCCESS(::BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0));
}

void Md5::Update(const void* data, std::size_t size) {
    auto* bytes = static_cast<UCHAR*>(const_cast<void*>(data));
    // BCryptHashData takes a 32-bit length.
    while (ok_ && size > 0) {
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(size, 0x40000000));
        ok_ = BCRYPT_SUCCESS(::BCryptHashData(hash_.get(), bytes, piece, 0));
        bytes += piece;
        size -= piece;
    }
}

std::wstring Md5::Finish() {
    UCHAR digest[16] = {};
    if (!ok_ || !BCRYPT_SUCCESS(::BCryptFinishHash(hash_.get(), digest, sizeof digest, 0))) {
        ok_ = false;
        return {};
    }
    ok_ = false;
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring text;
    for (UCHAR b : digest) {
        text += kHex[b >> 4];
        text += kHex[b & 0xF];
    }
    return text;
}

std::wstring Md5Of(const void* data, std::size_t size) {
    Md5 md5;
    md5.Update(data, size);
    return md5.Finish();
}

}  // namespace mf::publish
