#include "sax_floor.h"

#include <windows.h>
#include <msxml2.h>
#include <oleauto.h>

#include <cstring>
#include <utility>
#include <vector>

#include "base/handles.h"

namespace mfbench {

namespace {

constexpr CLSID kSaxReaderClass = {0x079AA557, 0x4A18, 0x424A, {0x8E, 0xEE, 0xE3, 0x9F, 0x0A, 0x8D, 0x41, 0xB9}};
constexpr IID kSaxReaderInterface = {0xA4F96ED0, 0xF829, 0x476E, {0x81, 0xC0, 0xCD, 0xC7, 0xBD, 0x2A, 0x08, 0x02}};
constexpr IID kContentHandlerInterface = {0x1545CDFA, 0x9E4E, 0x4497, {0xA8, 0xA4, 0x2B, 0xF7, 0xD0, 0x11, 0x2C, 0x44}};

class FloorContentHandler final : public ISAXContentHandler {
public:
    explicit FloorContentHandler(FloorHandler kind) : kind_(kind) {}

    HRESULT WINAPI QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == kContentHandlerInterface) {
            *object = static_cast<ISAXContentHandler*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG WINAPI AddRef() override { return 2; }
    ULONG WINAPI Release() override { return 1; }
    HRESULT WINAPI putDocumentLocator(ISAXLocator*) override { return S_OK; }
    HRESULT WINAPI startDocument() override { return S_OK; }
    HRESULT WINAPI endDocument() override { return S_OK; }
    HRESULT WINAPI startPrefixMapping(const wchar_t*, int, const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI endPrefixMapping(const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI ignorableWhitespace(const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI processingInstruction(const wchar_t*, int, const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI skippedEntity(const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI characters(const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI endElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*, int) override { return S_OK; }

    HRESULT WINAPI startElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*, int,
                                ISAXAttributes* attributes) override {
        if (kind_ == FloorHandler::Empty || attributes == nullptr) return S_OK;
        try {
            int count = 0;
            if (FAILED(attributes->getLength(&count))) return S_OK;
            copied_.clear();
            for (int i = 0; i < count; ++i) {
                const wchar_t* name = nullptr;
                const wchar_t* value = nullptr;
                int nameLength = 0;
                int valueLength = 0;
                if (FAILED(attributes->getQName(i, &name, &nameLength)) ||
                    FAILED(attributes->getValue(i, &value, &valueLength)))
                    continue;
                copied_.emplace_back(std::wstring(name, static_cast<std::size_t>(nameLength)),
                                     std::wstring(value, static_cast<std::size_t>(valueLength)));
            }
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

private:
    FloorHandler kind_;
    std::vector<std::pair<std::wstring, std::wstring>> copied_;
};

bool ReadBytes(const std::wstring& path, std::string& bytes) {
    mf::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF) return false;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    return ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
           read == bytes.size();
}

}  // namespace

bool ParseWithFloorHandler(const std::wstring& path, FloorHandler kind) {
    // The same input form as the engine's reader: the file's bytes as a
    // byte array.
    std::string bytes;
    if (!ReadBytes(path, bytes) || bytes.empty()) return false;
    mf::ComPtr<ISAXXMLReader> reader;
    if (FAILED(::CoCreateInstance(kSaxReaderClass, nullptr, CLSCTX_INPROC_SERVER, kSaxReaderInterface,
                                  reinterpret_cast<void**>(reader.GetAddressOf()))))
        return false;
    FloorContentHandler handler(kind);
    if (FAILED(reader->putContentHandler(&handler))) return false;
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (array == nullptr) return false;
    void* data = nullptr;
    if (SUCCEEDED(::SafeArrayAccessData(array, &data))) {
        std::memcpy(data, bytes.data(), bytes.size());
        ::SafeArrayUnaccessData(array);
    }
    VARIANT input;
    ::VariantInit(&input);
    input.vt = VT_ARRAY | VT_UI1;
    input.parray = array;
    const HRESULT parsed = reader->parse(input);
    ::VariantClear(&input);
    reader->putContentHandler(nullptr);
    return SUCCEEDED(parsed);
}

}  // namespace mfbench
