#include "check/xml_dom.h"

#include <oleauto.h>

namespace mf::xml {

namespace {

// The version-independent "DOMDocument" class.
constexpr CLSID kDomDocumentClass = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : value_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { ::SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    [[nodiscard]] BSTR get() const { return value_; }
    BSTR* put() {
        ::SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    [[nodiscard]] std::wstring str() const {
        return value_ != nullptr ? std::wstring(value_, ::SysStringLen(value_)) : std::wstring();
    }

private:
    BSTR value_ = nullptr;
};

class TextVariant {
public:
    explicit TextVariant(const std::wstring& text) {
        ::VariantInit(&value_);
        value_.vt = VT_BSTR;
        value_.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    ~TextVariant() { ::VariantClear(&value_); }
    TextVariant(const TextVariant&) = delete;
    TextVariant& operator=(const TextVariant&) = delete;
    [[nodiscard]] const VARIANT& get() const { return value_; }

private:
    VARIANT value_;
};

}  // namespace

ComPtr<IXMLDOMDocument> NewDocument() {
    ComPtr<IXMLDOMDocument> document;
    if (FAILED(::CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_SERVER, IID_IXMLDOMDocument,
                                  reinterpret_cast<void**>(document.GetAddressOf()))))
        return nullptr;
    document->put_async(VARIANT_FALSE);
    return document;
}

ComPtr<IXMLDOMDocument> LoadFile(const std::wstring& path) {
    ComPtr<IXMLDOMDocument> document = NewDocument();
    if (!document) return nullptr;
    const TextVariant source(path);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(document->load(source.get(), &loaded)) || loaded != VARIANT_TRUE) return nullptr;
    return document;
}

ComPtr<IXMLDOMDocument> LoadText(const std::wstring& text) {
    ComPtr<IXMLDOMDocument> document = NewDocument();
    if (!document) return nullptr;
    const Bstr source(text);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(document->loadXML(source.get(), &loaded)) || loaded != VARIANT_TRUE) return nullptr;
    return document;
}

bool SaveFile(IXMLDOMDocument* document, const std::wstring& path) {
    const TextVariant target(path);
    return SUCCEEDED(document->save(target.get()));
}

std::wstring NodeName(IXMLDOMNode* node) {
    Bstr name;
    if (FAILED(node->get_nodeName(name.put()))) return {};
    return name.str();
}

std::wstring NodeText(IXMLDOMNode* node) {
    Bstr text;
    if (FAILED(node->get_text(text.put()))) return {};
    return text.str();
}

bool HasChildNodes(IXMLDOMNode* node) {
    VARIANT_BOOL has = VARIANT_FALSE;
    return SUCCEEDED(node->hasChildNodes(&has)) && has == VARIANT_TRUE;
}

ComPtr<IXMLDOMNode> FirstChildNamed(IXMLDOMNode* node, const std::wstring& name) {
    ComPtr<IXMLDOMNode> child;
    if (FAILED(node->get_firstChild(child.GetAddressOf()))) return nullptr;
    while (child) {
        if (NodeName(child.Get()) == name) return child;
        ComPtr<IXMLDOMNode> next;
        if (FAILED(child->get_nextSibling(next.GetAddressOf()))) return nullptr;
        child = next;
    }
    return nullptr;
}

std::wstring GetAttribute(IXMLDOMElement* element, const std::wstring& name) {
    const Bstr key(name);
    VARIANT value;
    ::VariantInit(&value);
    std::wstring text;
    if (element->getAttribute(key.get(), &value) == S_OK && value.vt == VT_BSTR && value.bstrVal != nullptr)
        text.assign(value.bstrVal, ::SysStringLen(value.bstrVal));
    ::VariantClear(&value);
    return text;
}

bool SetAttribute(IXMLDOMElement* element, const std::wstring& name, const std::wstring& value) {
    const Bstr key(name);
    const TextVariant text(value);
    return SUCCEEDED(element->setAttribute(key.get(), text.get()));
}

}  // namespace mf::xml
