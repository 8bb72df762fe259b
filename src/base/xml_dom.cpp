#include "base/xml_dom.h"

#include <oleauto.h>

#include <string_view>
#include <utility>

#include "base/com_text.h"
#include "base/files.h"
#include "base/memory_stream.h"
#include "base/strings.h"
#include "base/xml_input.h"

namespace mf::xml {

constexpr const char* kUtf8Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

namespace {

// The version-independent "DOMDocument" class, and the interface that
// carries its parser properties.
constexpr CLSID kDomDocumentClass = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kDomDocument2Interface = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

bool IsXmlSpace(char32_t c) { return c == 0x20 || c == 0x09 || c == 0x0D || c == 0x0A; }

// Walks the prolog, the only place a document type declaration may stand:
// white space, the XML declaration, processing instructions and comments,
// up to the first other markup. `unit(i)` is the i-th character or 0 past
// the end.
template <class Unit>
bool PrologHasDoctype(std::size_t count, Unit unit) {
    auto at = [&](std::size_t i, std::string_view ascii) {
        for (std::size_t k = 0; k < ascii.size(); ++k)
            if (i + k >= count || unit(i + k) != static_cast<char32_t>(ascii[k])) return false;
        return true;
    };
    auto skipPast = [&](std::size_t i, std::string_view end) {
        for (; i < count; ++i)
            if (at(i, end)) return i + end.size();
        return count;
    };
    std::size_t i = 0;
    while (i < count) {
        if (IsXmlSpace(unit(i))) {
            ++i;
        } else if (at(i, "<?")) {
            i = skipPast(i + 2, "?>");
        } else if (at(i, "<!--")) {
            i = skipPast(i + 4, "-->");
        } else {
            return at(i, "<!DOCTYPE");
        }
    }
    return false;
}

// No document the engine reads has any use for a DTD, and a DTD is how a
// document makes its parser expand entities without end or take a
// declaration for the root. MSXML refuses one when told to; Wine's
// ignores the property, so the readers also look for one themselves
// (DeclaresDocumentType) and after loading.
void ProhibitDtd(IXMLDOMDocument* document) {
    ComPtr<IXMLDOMDocument2> settings;
    if (FAILED(document->QueryInterface(kDomDocument2Interface, reinterpret_cast<void**>(settings.GetAddressOf()))))
        return;
    VARIANT on;
    ::VariantInit(&on);
    on.vt = VT_BOOL;
    on.boolVal = VARIANT_TRUE;
    const Bstr name(L"ProhibitDTD");
    settings->setProperty(name.get(), on);
}

bool HasDoctype(IXMLDOMDocument* document) {
    ComPtr<IXMLDOMDocumentType> type;
    return document->get_doctype(type.GetAddressOf()) == S_OK && type;
}

ComPtr<IXMLDOMDocument> Loaded(ComPtr<IXMLDOMDocument> document, HRESULT hr, VARIANT_BOOL loaded) {
    if (FAILED(hr) || loaded != VARIANT_TRUE || HasDoctype(document.Get())) return nullptr;
    return document;
}

}  // namespace

bool DeclaresDocumentType(std::string_view bytes) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const std::size_t n = bytes.size();
    // UTF-32 in either order: not a form the engine's documents take.
    if (n >= 4 && ((byte(0) == 0 && byte(1) == 0) || (byte(2) == 0 && byte(3) == 0))) return true;
    if (n >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == '<' && byte(1) == 0))) {
        const std::size_t skip = byte(0) == 0xFF ? 2 : 0;
        return PrologHasDoctype((n - skip) / 2, [&](std::size_t i) {
            return static_cast<char32_t>(byte(skip + 2 * i) | (byte(skip + 2 * i + 1) << 8));
        });
    }
    if (n >= 2 && ((byte(0) == 0xFE && byte(1) == 0xFF) || (byte(0) == 0 && byte(1) == '<'))) {
        const std::size_t skip = byte(0) == 0xFE ? 2 : 0;
        return PrologHasDoctype((n - skip) / 2, [&](std::size_t i) {
            return static_cast<char32_t>((byte(skip + 2 * i) << 8) | byte(skip + 2 * i + 1));
        });
    }
    // Single-byte and ASCII-compatible multi-byte encodings (UTF-8, GBK,
    // Big5 ...): markup characters are plain bytes there.
    const std::size_t skip = (n >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) ? 3 : 0;
    return PrologHasDoctype(n - skip, [&](std::size_t i) { return static_cast<char32_t>(byte(skip + i)); });
}

bool DeclaresDocumentType(std::wstring_view text) {
    const std::size_t skip = !text.empty() && text[0] == 0xFEFF ? 1 : 0;
    return PrologHasDoctype(text.size() - skip, [&](std::size_t i) { return static_cast<char32_t>(text[skip + i]); });
}

ComPtr<IXMLDOMDocument> NewDocument() {
    ComPtr<IXMLDOMDocument> document;
    if (FAILED(::CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_SERVER, IID_IXMLDOMDocument,
                                  reinterpret_cast<void**>(document.GetAddressOf()))))
        return nullptr;
    document->put_async(VARIANT_FALSE);
    // Documents come from the network: entities naming other files or
    // addresses are not fetched, and no DTD is accepted at all.
    document->put_resolveExternals(VARIANT_FALSE);
    ProhibitDtd(document.Get());
    return document;
}

ComPtr<IXMLDOMDocument> LoadFile(const std::wstring& path) {
    // Read once and parsed from memory: what was checked is what is parsed.
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return nullptr;
    return LoadBytes(bytes);
}

ComPtr<IXMLDOMDocument> LoadFileKeepingLayout(const std::wstring& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return nullptr;
    return LoadBytes(bytes, true);
}

ComPtr<IXMLDOMDocument> LoadBytes(std::string_view bytes, bool keepLayout) {
    if (DeclaresDocumentType(bytes) || HasTagWithTooManyAttributes(bytes)) return nullptr;
    ComPtr<IXMLDOMDocument> document = NewDocument();
    if (!document) return nullptr;
    if (keepLayout) document->put_preserveWhiteSpace(VARIANT_TRUE);
    const OwnedVariant source = OwnedVariant::Bytes(ReaderInput(std::string(bytes)));
    if (source.get().vt == VT_EMPTY) return nullptr;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = document->load(source.get(), &loaded);
    return Loaded(std::move(document), hr, loaded);
}

ComPtr<IXMLDOMDocument> LoadText(const std::wstring& text) {
    if (DeclaresDocumentType(std::wstring_view(text))) return nullptr;
    ComPtr<IXMLDOMDocument> document = NewDocument();
    if (!document) return nullptr;
    const Bstr source(text);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = document->loadXML(source.get(), &loaded);
    return Loaded(std::move(document), hr, loaded);
}

namespace {

// The markup from `get_xml`, as UTF-8 under a declaration that says so.
// Wine's DOM `save` to a file writes UTF-8 under the document's own
// declaration, so a list that declared GBK came back as a file no reader
// could decode.
bool MarkupBytes(IXMLDOMDocument* document, std::string& bytes) {
    Bstr markup;
    if (FAILED(document->get_xml(markup.put()))) return false;
    std::wstring text = markup.str();
    if (!text.empty() && text.front() == 0xFEFF) text.erase(0, 1);
    if (text.starts_with(L"<?xml")) {
        const std::size_t end = text.find(L"?>");
        text.erase(0, end == std::wstring::npos ? text.size() : end + 2);
    }
    while (!text.empty() && (text.front() == L'\r' || text.front() == L'\n')) text.erase(0, 1);
    bytes = kUtf8Declaration + Narrow(text, CodePage::Utf8);
    return true;
}

// The encoding that a leading XML declaration names; empty when none does.
std::string DeclaredEncoding(std::string_view bytes) {
    if (!bytes.starts_with("<?xml")) return {};
    const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
    std::size_t at = declaration.find("encoding");
    if (at != std::string_view::npos) at = declaration.find_first_of("\"'", at);
    if (at == std::string_view::npos) return {};
    const std::size_t close = declaration.find(declaration[at], at + 1);
    if (close == std::string_view::npos) return {};
    std::string name(declaration.substr(at + 1, close - at - 1));
    for (char& c : name) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return name;
}

// The document as the DOM's `save` writes it into memory, as UTF-8 under a
// declaration that says so. `get_xml` of Wine builds its text in a buffer
// that grows by a few bytes at a time: a merged list of 100k entries took
// seconds to save, 60 times what 10k took. False for output that declares
// an encoding other than UTF-8: Wine writes UTF-8 under such a declaration,
// and Windows writes that encoding, so only `get_xml` tells the text.
bool SavedBytes(IXMLDOMDocument* document, std::string& bytes) {
    MemoryStream stream;
    VARIANT target;
    ::VariantInit(&target);
    target.vt = VT_UNKNOWN;
    target.punkVal = static_cast<IStream*>(&stream);
    if (document->save(target) != S_OK || stream.bytes().empty()) return false;
    std::string_view saved = stream.bytes();
    if (saved.starts_with("\xEF\xBB\xBF")) saved.remove_prefix(3);
    const std::string encoding = DeclaredEncoding(saved);
    if (!encoding.empty() && encoding != "utf-8") return false;
    if (saved.starts_with("<?xml")) {
        const std::size_t end = saved.find("?>");
        saved.remove_prefix(end == std::string_view::npos ? saved.size() : end + 2);
    }
    while (!saved.empty() && (saved.front() == '\r' || saved.front() == '\n')) saved.remove_prefix(1);
    bytes = kUtf8Declaration;
    bytes += saved;
    return true;
}

}  // namespace

bool SaveFile(IXMLDOMDocument* document, const std::wstring& path) {
    std::string bytes;
    if (!SavedBytes(document, bytes) && !MarkupBytes(document, bytes)) return false;
    UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && ::SetEndOfFile(file.get());
}

bool AppendLineBreak(IXMLDOMDocument* document, IXMLDOMNode* parent) {
    const Bstr text(L"\r\n");
    ComPtr<IXMLDOMText> node;
    if (FAILED(document->createTextNode(text.get(), node.GetAddressOf())) || !node) return false;
    ComPtr<IXMLDOMNode> appended;
    return SUCCEEDED(parent->appendChild(node.Get(), appended.GetAddressOf()));
}

namespace {

void Keep(HRESULT* error, HRESULT hr) {
    if (error != nullptr && FAILED(hr) && SUCCEEDED(*error)) *error = hr;
}

}  // namespace

ComPtr<IXMLDOMNode> AsNode(IXMLDOMDocument* document) {
    ComPtr<IXMLDOMNode> node;
    if (document == nullptr ||
        FAILED(document->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(node.GetAddressOf()))))
        return nullptr;
    return node;
}

std::wstring NodeName(IXMLDOMNode* node, HRESULT* error) {
    Bstr name;
    const HRESULT hr = node->get_nodeName(name.put());
    Keep(error, hr);
    return FAILED(hr) ? std::wstring() : name.str();
}

std::wstring NodeText(IXMLDOMNode* node, HRESULT* error) {
    Bstr text;
    const HRESULT hr = node->get_text(text.put());
    Keep(error, hr);
    return FAILED(hr) ? std::wstring() : text.str();
}

bool IsElement(IXMLDOMNode* node) {
    DOMNodeType type = NODE_INVALID;
    return SUCCEEDED(node->get_nodeType(&type)) && type == NODE_ELEMENT;
}

std::vector<ComPtr<IXMLDOMNode>> ChildNodes(IXMLDOMNode* node, HRESULT* error) {
    std::vector<ComPtr<IXMLDOMNode>> children;
    ComPtr<IXMLDOMNode> child;
    HRESULT hr = node->get_firstChild(child.GetAddressOf());
    while (SUCCEEDED(hr) && child) {
        children.push_back(child);
        ComPtr<IXMLDOMNode> next;
        hr = child->get_nextSibling(next.GetAddressOf());
        child = std::move(next);
    }
    Keep(error, hr);
    return children;
}

bool HasChildNodes(IXMLDOMNode* node) {
    VARIANT_BOOL has = VARIANT_FALSE;
    return SUCCEEDED(node->hasChildNodes(&has)) && has == VARIANT_TRUE;
}

ComPtr<IXMLDOMNode> FirstChildNamed(IXMLDOMNode* node, const std::wstring& name, HRESULT* error) {
    ComPtr<IXMLDOMNode> child;
    HRESULT hr = node->get_firstChild(child.GetAddressOf());
    while (SUCCEEDED(hr) && child) {
        if (NodeName(child.Get(), &hr) == name && SUCCEEDED(hr)) return child;
        ComPtr<IXMLDOMNode> next;
        if (SUCCEEDED(hr)) hr = child->get_nextSibling(next.GetAddressOf());
        child = std::move(next);
    }
    Keep(error, hr);
    return nullptr;
}

std::wstring GetAttribute(IXMLDOMElement* element, const std::wstring& name) {
    const Bstr key(name);
    OwnedVariant value;
    if (element->getAttribute(key.get(), value.put()) != S_OK) return {};
    return value.text();
}

bool SetAttribute(IXMLDOMElement* element, const std::wstring& name, const std::wstring& value) {
    const Bstr key(name);
    const OwnedVariant text(value);
    return SUCCEEDED(element->setAttribute(key.get(), text.get()));
}

}  // namespace mf::xml
