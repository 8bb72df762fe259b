#include "release_signing.h"

#include <windows.h>

#include <cstdio>

#include "base/com_text.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/strings.h"
#include "base/utc_clock.h"
#include "base/xml_dom.h"

namespace mf::publish {

namespace {

// A key file is a few hundred bytes.
constexpr std::uint64_t kKeyFileMax = 4096;

std::wstring ErrorCode() {
    return L" (error " + ToWString(static_cast<long long>(::GetLastError())) + L")";
}

// Creates the file only when nothing has that name.
bool WriteNewFile(const std::wstring& path, const std::string& bytes, std::wstring& error) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return error = L"cannot create " + path + ErrorCode(), false;
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        return error = L"cannot write " + path + ErrorCode(), false;
    return true;
}

std::wstring TimeText(const SYSTEMTIME& t) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u%02u%02u%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return text;
}

}  // namespace

bool WriteNewKey(const std::wstring& keyFile, std::wstring& error) {
    const std::wstring publicFile = keyFile + L".pub";
    for (const std::wstring& path : {keyFile, publicFile})
        if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return error = path + L" exists; a key is never overwritten", false;
    const std::optional<SigningKey> key = SigningKey::Generate();
    const std::wstring privateText = key ? key->PrivateText() : std::wstring();
    const std::wstring publicText = key ? key->PublicText() : std::wstring();
    if (privateText.empty() || publicText.empty())
        return error = L"the system cannot make an ECDSA P-256 key (CNG)", false;
    if (!WriteNewFile(keyFile, std::string(kKeyFileHeading) + "\r\n" + Narrow(privateText, CodePage::Utf8) + "\r\n",
                      error))
        return false;
    if (!WriteNewFile(publicFile, Narrow(publicText, CodePage::Utf8) + "\r\n", error)) {
        DeleteFileForce(keyFile);
        return false;
    }
    return true;
}

std::optional<SigningKey> ReadKeyFile(const std::wstring& keyFile, std::wstring& error) {
    std::string bytes;
    if (!ReadWholeFile(keyFile, bytes, kKeyFileMax)) return error = L"cannot read the key " + keyFile, std::nullopt;
    const std::vector<std::wstring> lines = Split(Widen(bytes, CodePage::Utf8), L'\n');
    if (lines.size() < 2 || Trim(lines[0]) != Widen(kKeyFileHeading, CodePage::Utf8))
        return error = keyFile + L" is not a key file written by mirefold-publish --new-key", std::nullopt;
    std::optional<SigningKey> key = SigningKey::FromText(lines[1]);
    if (!key) error = keyFile + L" holds no usable private key";
    return key;
}

bool SignFile(const std::wstring& listFile, const SigningKey& key, std::wstring& error) {
    std::string bytes;
    if (!ReadWholeFile(listFile, bytes)) return error = L"cannot read " + listFile + ErrorCode(), false;
    const std::string signature = key.Sign(bytes);
    if (signature.empty()) return error = L"cannot sign " + listFile + L" (CNG)", false;
    const std::wstring target = listFile + kSignatureSuffix;
    if (!WriteWholeFile(target, signature)) return error = L"cannot write " + target + ErrorCode(), false;
    return true;
}

bool WriteListSerial(const std::wstring& listFile, std::uint64_t serial, std::wstring& error) {
    ComPtr<IXMLDOMDocument> document = xml::LoadFileKeepingLayout(listFile);
    ComPtr<IXMLDOMElement> root;
    if (!document || FAILED(document->get_documentElement(root.GetAddressOf())) || !root)
        return error = listFile + L" is not an XML document", false;
    if (!xml::SetAttribute(root.Get(), kSerialAttribute, ToWString(static_cast<long long>(serial))) ||
        !xml::SaveFile(document.Get(), listFile))
        return error = L"cannot write the serial into " + listFile, false;
    return true;
}

std::uint64_t DefaultSerial(std::optional<std::uint64_t> previous) {
    if (previous) return *previous + 1;
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    return static_cast<std::uint64_t>(ParseInt64(TimeText(now)));
}

std::wstring ExpiryAfterDays(int days) {
    return UtcTimeText(NowUtcSeconds() + std::int64_t{days} * 86400);
}

}  // namespace mf::publish
