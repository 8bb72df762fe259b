// Release signatures and content digests through CNG (bcrypt.dll): ECDSA on
// the curve P-256 over SHA-256, and SHA-256 of memory and of open files.
// The publishing tool signs with this code and the engine verifies with it.
//
// Keys travel as text. The public key is one line, "ecdsa-p256:" followed by
// the 128 hexadecimal digits of the point (X, then Y), exactly what an
// engine's configuration takes; the private key is "ecdsa-p256-private:"
// followed by the 192 digits of X, Y and the secret scalar. A signature is
// the 64 bytes r and s of the curve, as CNG writes them.
#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <bcrypt.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/handles.h"

namespace mf {

namespace traits {
struct BcryptAlgorithm {
    using Type = BCRYPT_ALG_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct BcryptKey {
    using Type = BCRYPT_KEY_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::BCryptDestroyKey(h); }
};
struct BcryptHash {
    using Type = BCRYPT_HASH_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::BCryptDestroyHash(h); }
};
}  // namespace traits
using UniqueAlgorithm = UniqueResource<traits::BcryptAlgorithm>;
using UniqueCngKey = UniqueResource<traits::BcryptKey>;
using UniqueCngHash = UniqueResource<traits::BcryptHash>;

using Sha256Digest = std::array<unsigned char, 32>;
inline constexpr std::size_t kSignatureBytes = 64;
inline constexpr const wchar_t* kPublicKeyPrefix = L"ecdsa-p256:";
inline constexpr const wchar_t* kPrivateKeyPrefix = L"ecdsa-p256-private:";

// One SHA-256 digest in the making. valid() is false when the provider is
// missing or a call failed; Finish() then gives nothing.
class Sha256 {
public:
    Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    [[nodiscard]] bool valid() const { return ok_; }
    void Update(const void* data, std::size_t size);
    // The object is spent afterwards.
    [[nodiscard]] std::optional<Sha256Digest> Finish();

private:
    UniqueAlgorithm algorithm_;  // declared first: outlives the hash
    UniqueCngHash hash_;
    bool ok_ = false;
};

[[nodiscard]] std::optional<Sha256Digest> Sha256OfBytes(std::string_view bytes);
// The digest of what an open file holds from its start to its end (the file
// position is moved). Nothing when it cannot be read.
[[nodiscard]] std::optional<Sha256Digest> Sha256OfFile(HANDLE file);
// Whether a SHA-256 as a list writes it (hexadecimal digits in either case)
// is this digest; an empty key matches nothing.
[[nodiscard]] bool Sha256Matches(const Sha256Digest& digest, std::wstring_view key);
// Whether the file at `path` has this SHA-256 (hexadecimal, either case);
// false when it cannot be read or the key is empty.
[[nodiscard]] bool Sha256OfPathMatches(const std::wstring& path, std::wstring_view key);
// Lower-case hexadecimal digits.
[[nodiscard]] std::wstring HexText(const unsigned char* bytes, std::size_t count);
[[nodiscard]] inline std::wstring HexText(const Sha256Digest& digest) {
    return HexText(digest.data(), digest.size());
}

// A key that checks signatures.
class VerifyingKey {
public:
    VerifyingKey() = default;
    // Nothing when the text is not one public key line (surrounding white
    // space is allowed) or CNG refuses the point.
    [[nodiscard]] static std::optional<VerifyingKey> FromText(std::wstring_view text);

    // Whether `signature` is this key's signature of exactly these bytes.
    [[nodiscard]] bool Verifies(std::string_view bytes, std::string_view signature) const;

private:
    UniqueAlgorithm algorithm_;
    UniqueCngKey key_;
};

// A key that makes signatures.
class SigningKey {
public:
    SigningKey() = default;
    [[nodiscard]] static std::optional<SigningKey> Generate();
    // Nothing when the text is not a private key line or CNG refuses it.
    [[nodiscard]] static std::optional<SigningKey> FromText(std::wstring_view text);

    [[nodiscard]] std::wstring PrivateText() const;
    [[nodiscard]] std::wstring PublicText() const;
    // The signature of exactly these bytes (kSignatureBytes); empty on failure.
    [[nodiscard]] std::string Sign(std::string_view bytes) const;

private:
    [[nodiscard]] std::wstring Exported(const wchar_t* blobType, const wchar_t* prefix, std::size_t parts) const;

    UniqueAlgorithm algorithm_;
    UniqueCngKey key_;
};

}  // namespace mf
