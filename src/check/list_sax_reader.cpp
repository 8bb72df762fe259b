#include "check/list_sax_reader.h"

#include <windows.h>
#include <msxml2.h>
#include <oleauto.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "base/com_text.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/strings.h"
#include "base/xml_dom.h"
#include "base/xml_input.h"
#include "check/list_records.h"

namespace mf {

namespace {

// The version-independent "SAXXMLReader" class.
constexpr CLSID kSaxReaderClass = {0x079AA557, 0x4A18, 0x424A, {0x8E, 0xEE, 0xE3, 0x9F, 0x0A, 0x8D, 0x41, 0xB9}};
constexpr IID kSaxReaderInterface = {0xA4F96ED0, 0xF829, 0x476E, {0x81, 0xC0, 0xCD, 0xC7, 0xBD, 0x2A, 0x08, 0x02}};
constexpr IID kContentHandlerInterface = {0x1545CDFA, 0x9E4E, 0x4497, {0xA8, 0xA4, 0x2B, 0xF7, 0xD0, 0x11, 0x2C, 0x44}};

// The same rule as the DOM's (base/xml_dom.h): no list has any use for a
// DTD. MSXML's reader refuses one when told to; Wine's ignores the
// feature, which is why the prolog is also looked at before parsing.
void ProhibitDtd(ISAXXMLReader* reader) {
    reader->putFeature(L"prohibit-dtd", VARIANT_TRUE);
    reader->putFeature(L"http://xml.org/sax/features/external-general-entities", VARIANT_FALSE);
    reader->putFeature(L"http://xml.org/sax/features/external-parameter-entities", VARIANT_FALSE);
}

// Receives the elements of the list; the object lives on the caller's
// stack for the duration of one parse, so reference counting is a no-op.
class ListContentHandler final : public ISAXContentHandler {
public:
    explicit ListContentHandler(StreamedList& list) : list_(list) {}

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

    HRESULT WINAPI startElement(const wchar_t*, int, const wchar_t*, int, const wchar_t* qName, int qLength,
                                ISAXAttributes* attributes) override {
        try {
            const std::wstring_view name(qName, static_cast<std::size_t>(qLength));
            ++depth_;
            if (depth_ == 1) {
                list_.rootFound = name == L"update" || name == L"updates" || name == L"mirefold";
            } else if (depth_ == 2 && list_.rootFound) {
                if (name == L"guid" && !list_.hasGuid) OpenText(Kind::Guid, std::nullopt);
                if (name == L"fileurl" && !list_.hasFileUrl) OpenText(Kind::FileUrl, std::nullopt);
            }
            if (!list_.rootFound) return S_OK;  // no records without a root
            if (depth_ == 1) {
                ReadAttributes(attributes);
                builder_.SetListHash(AttributeValue(attributes_, kHashAttribute));
            }
            const RecordElement element = RecordElementOf(name);
            if (element == RecordElement::None) return S_OK;
            if (element == RecordElement::Description) {
                // Its text is complete only at its end; keep its place.
                OpenText(Kind::Description, list_.records.AppendPlace());
                return S_OK;
            }
            ReadAttributes(attributes);
            if (const RecordFields* fields = builder_.FromElement(element, attributes_, {}))
                list_.records.Append(*fields);
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    HRESULT WINAPI endElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*, int) override {
        try {
            if (!texts_.empty() && texts_.back().depth == depth_) {
                OpenTextValue done = std::move(texts_.back());
                texts_.pop_back();
                const std::wstring text = Trim(done.text);
                if (done.kind == Kind::Guid) {
                    list_.hasGuid = true;
                    list_.guid = text;
                } else if (done.kind == Kind::FileUrl) {
                    list_.hasFileUrl = true;
                    list_.fileUrl = text;
                } else if (done.slot) {
                    if (const RecordFields* fields = builder_.FromElement(RecordElement::Description, {}, text))
                        list_.records.Fill(*done.slot, *fields);
                }
            }
            --depth_;
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    HRESULT WINAPI characters(const wchar_t* chars, int length) override {
        try {
            for (OpenTextValue& open : texts_) open.text.append(chars, static_cast<std::size_t>(length));
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    void Finish() { list_.records.Finish(); }

private:
    enum class Kind { Guid, FileUrl, Description };
    struct OpenTextValue {
        Kind kind;
        int depth;
        std::optional<std::size_t> slot;
        std::wstring text;
    };

    void OpenText(Kind kind, std::optional<std::size_t> slot) { texts_.push_back({kind, depth_, slot, {}}); }

    void ReadAttributes(ISAXAttributes* attributes) {
        attributes_.clear();
        int count = 0;
        if (attributes == nullptr || FAILED(attributes->getLength(&count))) return;
        for (int i = 0; i < count; ++i) {
            const wchar_t* name = nullptr;
            const wchar_t* value = nullptr;
            int nameLength = 0;
            int valueLength = 0;
            if (FAILED(attributes->getQName(i, &name, &nameLength)) ||
                FAILED(attributes->getValue(i, &value, &valueLength)))
                continue;
            attributes_.push_back({std::wstring_view(name, static_cast<std::size_t>(nameLength)),
                                   std::wstring_view(value, static_cast<std::size_t>(valueLength))});
        }
    }

    StreamedList& list_;
    ListRecordBuilder builder_;
    int depth_ = 0;
    std::vector<OpenTextValue> texts_;
    // The current element's attributes as the reader passes them: the
    // views are valid only during its startElement call, and copying every
    // name and value would cost two allocations per attribute.
    std::vector<AttributeView> attributes_;
};

}  // namespace

bool ReadListStreamed(const std::wstring& path, StreamedList& list) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes) || bytes.empty() || xml::DeclaresDocumentType(bytes) ||
        xml::HasTagWithTooManyAttributes(bytes))
        return false;
    ComPtr<ISAXXMLReader> reader;
    if (FAILED(::CoCreateInstance(kSaxReaderClass, nullptr, CLSCTX_INPROC_SERVER, kSaxReaderInterface,
                                  reinterpret_cast<void**>(reader.GetAddressOf()))))
        return false;
    ProhibitDtd(reader.Get());
    ListContentHandler handler(list);
    if (FAILED(reader->putContentHandler(&handler))) return false;

    // Every element that yields a record starts with "<", and a value is
    // part of the document: bounds that cost nothing unless used.
    list.records.Reserve(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '<')), bytes.size());
    OwnedVariant input = OwnedVariant::Bytes(xml::ReaderInput(std::move(bytes)));
    if (input.get().vt == VT_EMPTY) return false;
    const HRESULT parsed = reader->parse(input.get());
    reader->putContentHandler(nullptr);
    if (FAILED(parsed)) return false;
    handler.Finish();
    return true;
}

}  // namespace mf
