#include "base/signing.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mf {

namespace {

constexpr ULONG kCoordinateBytes = 32;
constexpr DWORD kReadBlock = 256 * 1024;

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

UniqueAlgorithm OpenAlgorithm(const wchar_t* name) {
    UniqueAlgorithm algorithm;
    if (!Succeeded(::BCryptOpenAlgorithmProvider(algorithm.put(), name, nullptr, 0))) algorithm.reset();
    return algorithm;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// The bytes of a key line: the prefix, then exactly `count` bytes in
// hexadecimal; white space around the line is allowed.
std::optional<std::vector<unsigned char>> KeyBytes(std::wstring_view text, std::wstring_view prefix,
                                                   std::size_t count) {
    const auto space = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    if (text.size() != prefix.size() + 2 * count || text.substr(0, prefix.size()) != prefix) return std::nullopt;
    text.remove_prefix(prefix.size());
    std::vector<unsigned char> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return bytes;
}

// A key blob: the CNG header, then the coordinates (and the secret).
std::vector<unsigned char> KeyBlob(ULONG magic, const std::vector<unsigned char>& parts) {
    BCRYPT_ECCKEY_BLOB header{magic, kCoordinateBytes};
    std::vector<unsigned char> blob(sizeof header + parts.size());
    std::memcpy(blob.data(), &header, sizeof header);
    std::copy(parts.begin(), parts.end(), blob.begin() + sizeof header);
    return blob;
}

bool ImportKey(const wchar_t* blobType, std::vector<unsigned char> blob, UniqueAlgorithm& algorithm,
               UniqueCngKey& key) {
    algorithm = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!algorithm) return false;
    return Succeeded(::BCryptImportKeyPair(algorithm.get(), nullptr, blobType, key.put(), blob.data(),
                                           static_cast<ULONG>(blob.size()), 0));
}

}  // namespace

Sha256::Sha256() : algorithm_(OpenAlgorithm(BCRYPT_SHA256_ALGORITHM)) {
    ok_ = algorithm_ && Succeeded(::BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0));
}

void Sha256::Update(const void* data, std::size_t size) {
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    // BCryptHashData takes a 32-bit length.
    while (ok_ && size > 0) {
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(size, 0x40000000));
        ok_ = Succeeded(::BCryptHashData(hash_.get(), bytes, piece, 0));
        bytes += piece;
        size -= piece;
    }
}

std::optional<Sha256Digest> Sha256::Finish() {
    Sha256Digest digest{};
    const bool done =
        ok_ && Succeeded(::BCryptFinishHash(hash_.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
    ok_ = false;
    if (!done) return std::nullopt;
    return digest;
}

std::optional<Sha256Digest> Sha256OfBytes(std::string_view bytes) {
    Sha256 sha;
    sha.Update(bytes.data(), bytes.size());
    return sha.Finish();
}

std::optional<Sha256Digest> Sha256OfFile(HANDLE file) {
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return std::nullopt;
    Sha256 sha;
    std::vector<unsigned char> buffer(kReadBlock);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, buffer.data(), kReadBlock, &read, nullptr)) return std::nullopt;
        if (read == 0) break;
        sha.Update(buffer.data(), read);
    }
    return sha.Finish();
}

bool Sha256OfPathMatches(const std::wstring& path, std::wstring_view key) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    const std::optional<Sha256Digest> digest = Sha256OfFile(file.get());
    return digest && Sha256Matches(*digest, key);
}

bool Sha256Matches(const Sha256Digest& digest, std::wstring_view key) {
    const std::wstring text = HexText(digest);
    if (key.size() != text.size()) return false;
    for (std::size_t i = 0; i < key.size(); ++i)
        if (text[i] != (key[i] >= L'A' && key[i] <= L'F' ? key[i] - L'A' + L'a' : key[i])) return false;
    return true;
}

std::wstring HexText(const unsigned char* bytes, std::size_t count) {
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

std::optional<VerifyingKey> VerifyingKey::FromText(std::wstring_view text) {
    const auto point = KeyBytes(text, kPublicKeyPrefix, 2 * kCoordinateBytes);
    if (!point) return std::nullopt;
    VerifyingKey key;
    if (!ImportKey(BCRYPT_ECCPUBLIC_BLOB, KeyBlob(BCRYPT_ECDSA_PUBLIC_P256_MAGIC, *point), key.algorithm_, key.key_))
        return std::nullopt;
    return key;
}

bool VerifyingKey::Verifies(std::string_view bytes, std::string_view signature) const {
    if (!key_ || signature.size() != kSignatureBytes) return false;
    std::optional<Sha256Digest> digest = Sha256OfBytes(bytes);
    if (!digest) return false;
    std::string copy(signature);
    return Succeeded(::BCryptVerifySignature(key_.get(), nullptr, digest->data(), static_cast<ULONG>(digest->size()),
                                             reinterpret_cast<PUCHAR>(copy.data()), static_cast<ULONG>(copy.size()),
                                             0));
}

std::optional<SigningKey> SigningKey::Generate() {
    SigningKey key;
    key.algorithm_ = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!key.algorithm_ || !Succeeded(::BCryptGenerateKeyPair(key.algorithm_.get(), key.key_.put(), 256, 0)) ||
        !Succeeded(::BCryptFinalizeKeyPair(key.key_.get(), 0)))
        return std::nullopt;
    return key;
}

std::optional<SigningKey> SigningKey::FromText(std::wstring_view text) {
    const auto parts = KeyBytes(text, kPrivateKeyPrefix, 3 * kCoordinateBytes);
    if (!parts) return std::nullopt;
    SigningKey key;
    if (!ImportKey(BCRYPT_ECCPRIVATE_BLOB, KeyBlob(BCRYPT_ECDSA_PRIVATE_P256_MAGIC, *parts), key.algorithm_, key.key_))
        return std::nullopt;
    return key;
}

std::wstring SigningKey::Exported(const wchar_t* blobType, const wchar_t* prefix, std::size_t parts) const {
    ULONG size = 0;
    if (!key_ || !Succeeded(::BCryptExportKey(key_.get(), nullptr, blobType, nullptr, 0, &size, 0))) return {};
    std::vector<unsigned char> blob(size);
    if (!Succeeded(::BCryptExportKey(key_.get(), nullptr, blobType, blob.data(), size, &size, 0))) return {};
    const std::size_t wanted = sizeof(BCRYPT_ECCKEY_BLOB) + parts * kCoordinateBytes;
    if (size != wanted) return {};
    return prefix + HexText(blob.data() + sizeof(BCRYPT_ECCKEY_BLOB), parts * kCoordinateBytes);
}

std::wstring SigningKey::PrivateText() const {
    return Exported(BCRYPT_ECCPRIVATE_BLOB, kPrivateKeyPrefix, 3);
}

std::wstring SigningKey::PublicText() const {
    return Exported(BCRYPT_ECCPUBLIC_BLOB, kPublicKeyPrefix, 2);
}

std::string SigningKey::Sign(std::string_view bytes) const {
    std::optional<Sha256Digest> digest = Sha256OfBytes(bytes);
    if (!key_ || !digest) return {};
    std::string signature(kSignatureBytes, '\0');
    ULONG written = 0;
    if (!Succeeded(::BCryptSignHash(key_.get(), nullptr, digest->data(), static_cast<ULONG>(digest->size()),
                                    reinterpret_cast<PUCHAR>(signature.data()), kSignatureBytes, &written, 0)) ||
        written != kSignatureBytes)
        return {};
    return signature;
}

}  // namespace mf
