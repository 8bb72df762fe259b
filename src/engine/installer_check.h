// What is checked of a downloaded installer before the engine starts it as
// administrator. The file lies in a folder that every program of the user
// can write, so it is held open from the check until the installer's process
// has started: with read sharing only, nobody can write, rename or delete it
// in between.
#pragma once

#include <windows.h>

#include <string>

#include "base/handles.h"

namespace mf {

// The publisher whose signature a .NET Framework installer must carry.
inline constexpr const wchar_t* kDotNetPublisher = L"Microsoft Corporation";

enum class InstallerVerdict {
    Trusted,             // the digest matches, or the signature and its signer are good
    Unreadable,          // not a plain file of one link, or its bytes cannot be read
    DigestMismatch,      // a digest was named and the file has another
    UntrustedSignature,  // no signature, or one the system does not trust
    WrongSigner,         // a trusted signature of somebody else
};

// Opens the file for reading with read sharing only, the entry itself (a
// link is opened as a link), and checks that it is a plain file with one
// link. Empty when it is not, or cannot be opened.
[[nodiscard]] UniqueFile HoldInstaller(const std::wstring& path);

// The SHA-256 digest of the open file's bytes from its start (64 lower-case
// hexadecimal digits), empty when they cannot be read.
[[nodiscard]] std::wstring Sha256OfOpenFile(HANDLE file);

// The check of a held installer: when `expectedSha256` is given, its
// SHA-256 digest alone decides; otherwise its Authenticode signature, with
// the whole chain and its revocation checked as the system checks them, and
// the signer's name, which must be `expectedSigner`.
[[nodiscard]] InstallerVerdict CheckInstaller(HANDLE file, const std::wstring& path, const std::wstring& expectedSha256,
                                              const std::wstring& expectedSigner);

// What the verdict is called in the log.
[[nodiscard]] const wchar_t* VerdictName(InstallerVerdict verdict);

}  // namespace mf
