#include "base/xml_dom.h"

#include <oleauto.h>

#include <utility>

#include "base/com_text.h"

namespace mf::xml {

namespace {

// The version-independent "DOMDocument" class.
constexpr CLSID kDomDocumentClass = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

}  // namespace

ComPtr<IXMLDOMDocument> NewDocument() {
    ComPtr<IXMLDOMDocument> document;
    if (FAILED(::CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_SERVER, IID_IXMLDOMDocument,
                                  reinterpret_cast<void**>(document.GetAddressOf()))))
        return nullptr;
    document->put_async(VARIANT_FALSE);
    // Documents come from the network: entities naming other files or
    // addresses are not fetched.
    document->put_resolveExternals(VARIANT_FALSE);
    return document;
}

ComPtr<IXMLDOMDocument> LoadFile(const std::wstring& path) {
    ComPtr<IXMLDOMDocument> document = NewDocument();
    if (!document) return nullptr;
    const OwnedVariant source(path);
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
    const OwnedVariant target(path);
    return SUCCEEDED(document->save(target.get()));
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
