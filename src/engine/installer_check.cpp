#include "engine/installer_check.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <optional>

#include "base/signing.h"
#include "base/strings.h"

namespace mf {

namespace {

// The state data of one WinVerifyTrust call, released by a second call
// with WTD_STATEACTION_CLOSE.
class TrustCheck {
public:
    TrustCheck(HANDLE file, const std::wstring& path) {
        fileInfo_.cbStruct = sizeof(fileInfo_);
        fileInfo_.pcwszFilePath = path.c_str();
        fileInfo_.hFile = file;
        data_.cbStruct = sizeof(data_);
        data_.dwUIChoice = WTD_UI_NONE;
        data_.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &fileInfo_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        data_.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN;
        result_ = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    ~TrustCheck() {
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    TrustCheck(const TrustCheck&) = delete;
    TrustCheck& operator=(const TrustCheck&) = delete;

    [[nodiscard]] LONG result() const { return result_; }

    // The simple name of the certificate that signed the file.
    [[nodiscard]] std::wstring SignerName() const {
        CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data_.hWVTStateData);
        CRYPT_PROVIDER_SGNR* signer =
            provider != nullptr ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
        if (signer == nullptr || signer->csCertChain == 0 || signer->pasCertChain == nullptr) return {};
        const CERT_CONTEXT* certificate = signer->pasCertChain[0].pCert;
        if (certificate == nullptr) return {};
        wchar_t name[512] = {};
        ::CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 512);
        return name;
    }

private:
    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO fileInfo_{};
    WINTRUST_DATA data_{};
    LONG result_ = TRUST_E_NOSIGNATURE;
};

}  // namespace

UniqueFile HoldInstaller(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return {};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info)) return {};
    constexpr DWORD kNotPlain = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;
    if ((info.dwFileAttributes & kNotPlain) != 0 || info.nNumberOfLinks != 1) return {};
    return file;
}

std::wstring Sha256OfOpenFile(HANDLE file) {
    const std::optional<Sha256Digest> digest = Sha256OfFile(file);
    return digest ? HexText(*digest) : std::wstring();
}

InstallerVerdict CheckInstaller(HANDLE file, const std::wstring& path, const std::wstring& expectedSha256,
                                const std::wstring& expectedSigner) {
    if (!expectedSha256.empty()) {
        const std::wstring digest = Sha256OfOpenFile(file);
        if (digest.empty()) return InstallerVerdict::Unreadable;
        return EqualsNoCase(digest, Trim(expectedSha256)) ? InstallerVerdict::Trusted
                                                          : InstallerVerdict::DigestMismatch;
    }
    const TrustCheck trust(file, path);
    if (trust.result() != ERROR_SUCCESS) return InstallerVerdict::UntrustedSignature;
    return trust.SignerName() == expectedSigner ? InstallerVerdict::Trusted : InstallerVerdict::WrongSigner;
}

const wchar_t* VerdictName(InstallerVerdict verdict) {
    switch (verdict) {
        case InstallerVerdict::Trusted:
            return L"trusted";
        case InstallerVerdict::Unreadable:
            return L"not a plain file that can be read";
        case InstallerVerdict::DigestMismatch:
            return L"not the configured SHA-256 digest";
        case InstallerVerdict::UntrustedSignature:
            return L"no trusted signature";
        case InstallerVerdict::WrongSigner:
            return L"signed by another publisher";
    }
    return L"";
}

}  // namespace mf
