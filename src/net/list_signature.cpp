#include "net/list_signature.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/signing.h"
#include "base/strings.h"
#include "base/utc_clock.h"
#include "engine/installed_release.h"
#include "engine/process_state.h"
#include "net/internet.h"
#include "net/net_limits.h"

namespace mf {

namespace {

std::wstring ConfiguredKey() {
    return Trim(ReadConfig(L"UPDATEINFO", L"PublicKey"));
}

// At most `limit` bytes of a signature reply: a server that sends more sent
// no signature.
class BoundedSink final : public ByteSink {
public:
    explicit BoundedSink(std::size_t limit) : limit_(limit) {}
    void Write(const char* bytes, std::size_t count) override {
        if (data_.size() + count > limit_) {
            overflow_ = true;
            return;
        }
        data_.append(bytes, count);
    }
    [[nodiscard]] const std::string& data() const { return data_; }
    [[nodiscard]] bool overflow() const { return overflow_; }

private:
    std::size_t limit_;
    std::string data_;
    bool overflow_ = false;
};

std::wstring Refusal(const std::wstring& listUrl, const std::wstring& listPath, ListRole role) {
    std::string list;
    if (!ReadWholeFile(listPath, list, static_cast<std::uint64_t>(Limits().documentBytes)))
        return L"the list cannot be read";
    const std::wstring signatureUrl = listUrl + kSignatureSuffix;
    BoundedSink signature(kSignatureFileMax);
    if (!HttpGetToSink(signatureUrl, signature) || signature.overflow())
        return L"no signature could be fetched from " + signatureUrl;
    return ListRefusal(ConfiguredKey(), list, signature.data(), role, ReadInstalledSerial(), NowUtcSeconds());
}

}  // namespace

bool ListsMustBeSigned() {
    return !ConfiguredKey().empty();
}

std::wstring ListRefusal(const std::wstring& publicKey, std::string_view list, std::string_view signature,
                         ListRole role, std::optional<std::uint64_t> installedSerial, std::int64_t nowSeconds) {
    const std::optional<VerifyingKey> key = VerifyingKey::FromText(publicKey);
    if (!key) return L"UPDATEINFO/PublicKey is not a public key";
    if (signature.empty()) return L"the signature is empty";
    if (!key->Verifies(list, signature)) return L"the signature does not match the list";
    if (role == ListRole::Package) return {};
    const ReleaseVerdict verdict =
        JudgeRelease(ReadRootMarks(list), role == ListRole::Product ? installedSerial : std::nullopt, nowSeconds);
    return VerdictText(verdict);
}

bool AcceptFetchedList(const std::wstring& listUrl, const std::wstring& listPath, ListRole role) {
    if (!ListsMustBeSigned()) return true;
    const std::wstring reason = Refusal(listUrl, listPath, role);
    if (reason.empty()) return true;
    WriteLog(L"List refused[" + listUrl + L"]: " + reason);
    DeleteFileForce(listPath);
    return false;
}

std::wstring PackageListRefusal(const std::wstring& listPath, bool installationEmpty) {
    std::string list;
    if (!ReadWholeFile(listPath, list, static_cast<std::uint64_t>(Limits().documentBytes)))
        return L"the list cannot be read";
    if (ListsMustBeSigned()) {
        std::string signature;
        if (!ReadWholeFile(listPath + kSignatureSuffix, signature, kSignatureFileMax)) signature.clear();
        const std::wstring refusal =
            ListRefusal(ConfiguredKey(), list, signature, ListRole::Package, std::nullopt, NowUtcSeconds());
        if (!refusal.empty()) return refusal;
    }
    return VerdictText(JudgePackage(ReadRootMarks(list), ReadInstalledSerial(), installationEmpty));
}

ReleaseMarks ReadListMarks(const std::wstring& listPath) {
    UniqueFile file(::CreateFileW(listPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    std::string bytes(kRootScanBytes, '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) return {};
    bytes.resize(read);
    return ReadRootMarks(bytes);
}

}  // namespace mf
