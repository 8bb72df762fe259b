// The checks of a downloaded installer before it runs as administrator,
// with real files: a digest named by the configuration, and Authenticode
// signatures made by Debian's osslsigncode with a certificate of the build's
// own (tools/installtest/sign-testmark.sh).
#include <gtest/gtest.h>

#include <windows.h>
// after windows.h, which it needs
#include <wincrypt.h>

#include "base/md5.h"
#include "base/strings.h"
#include "engine/installer_check.h"
#include "support/test_support.h"

namespace mf {
namespace {

std::wstring Signed() {
    return test::BuildPath(L"installtest\\signed-testmark.exe");
}
std::wstring Unsigned() {
    return test::BuildPath(L"installtest\\mirefold-testmark.exe");
}

InstallerVerdict Check(const std::wstring& path, const std::wstring& digest, const std::wstring& signer) {
    const UniqueFile held = HoldInstaller(path);
    if (!held) return InstallerVerdict::Unreadable;
    return CheckInstaller(held.get(), path, digest, signer);
}

TEST(InstallerCheck, TheConfiguredDigestDecidesAlone) {
    test::TempFolder folder;
    const std::wstring file = folder / L"dotnetfx20.exe";
    const std::string bytes = "MZ an installer" + std::string(3 << 20, 'x');  // more than one read
    ASSERT_TRUE(test::WriteFileBytes(file, bytes));
    const std::wstring digest = Sha256Of(bytes.data(), bytes.size());
    struct Case {
        const char* name;
        std::wstring digest;
        InstallerVerdict verdict;
    };
    const Case cases[] = {
        {"its digest", digest, InstallerVerdict::Trusted},
        {"its digest in capitals, with spaces", L" " + ToUpper(digest) + L" ", InstallerVerdict::Trusted},
        {"another digest", Sha256Of("x", 1), InstallerVerdict::DigestMismatch},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Check(file, c.digest, kDotNetPublisher), c.verdict);
    }
}

// While the engine holds the installer, nobody can write, rename or delete
// it; and only a plain file with one link is held.
TEST(InstallerCheck, AHeldInstallerCannotBeSwapped) {
    test::TempFolder folder;
    const std::wstring file = folder / L"setup.exe";
    ASSERT_TRUE(test::WriteFileBytes(file, "MZ checked"));
    {
        const UniqueFile held = HoldInstaller(file);
        ASSERT_TRUE(held);
        const UniqueFile writer(::CreateFileW(file.c_str(), GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
        EXPECT_FALSE(writer);
        EXPECT_FALSE(::MoveFileExW(file.c_str(), (folder / L"aside.exe").c_str(), 0));
        EXPECT_FALSE(::DeleteFileW(file.c_str()));
    }
    EXPECT_EQ(test::ReadFileBytes(file), "MZ checked");

    ASSERT_TRUE(::CreateHardLinkW((folder / L"second-name.exe").c_str(), file.c_str(), nullptr));
    EXPECT_FALSE(HoldInstaller(file)) << "a file with a second name can be changed through it";
    EXPECT_FALSE(HoldInstaller(folder.path())) << "a folder";
    EXPECT_FALSE(HoldInstaller(folder / L"missing.exe"));
}

// The Authenticode check. Once the test adds the signer's root to the
// user's root store the signature is trusted, and then the signer's name
// decides. Without that root Windows refuses the signature; Wine 8's
// WinVerifyTrust accepts it all the same (it does not ask whether the root is
// trusted), so there only the signer's name stands between a self-signed
// file and the administrator.
TEST(InstallerCheck, TheSignatureAndItsSignerDecideWithoutADigest) {
    EXPECT_EQ(Check(Unsigned(), L"", kDotNetPublisher), InstallerVerdict::UntrustedSignature);
    EXPECT_EQ(Check(Signed(), L"", L"Mirefold Test Signer"),
              test::RunningUnderWine() ? InstallerVerdict::Trusted : InstallerVerdict::UntrustedSignature)
        << "a root nobody trusts";
    EXPECT_EQ(Check(Signed(), L"", kDotNetPublisher),
              test::RunningUnderWine() ? InstallerVerdict::WrongSigner : InstallerVerdict::UntrustedSignature);

    const std::string der = test::ReadFileBytes(test::BuildPath(L"installtest\\test-signer.der"));
    ASSERT_FALSE(der.empty());
    HCERTSTORE root = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    ASSERT_NE(root, nullptr);
    PCCERT_CONTEXT added = nullptr;
    ASSERT_TRUE(::CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                                   static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                   &added));
    const InstallerVerdict trusted = Check(Signed(), L"", L"Mirefold Test Signer");
    const InstallerVerdict other = Check(Signed(), L"", kDotNetPublisher);
    ::CertDeleteCertificateFromStore(added);  // frees `added`
    ::CertCloseStore(root, 0);
    EXPECT_EQ(trusted, InstallerVerdict::Trusted);
    EXPECT_EQ(other, InstallerVerdict::WrongSigner);
}

}  // namespace
}  // namespace mf
