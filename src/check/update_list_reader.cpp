#include "check/update_list_reader.h"

#include <windows.h>
#include <msxml2.h>
#include <oleauto.h>

#include <utility>
#include <vector>

#include "base/com_text.h"
#include "base/handles.h"
#include "base/strings.h"
#include "base/xml_dom.h"
#include "check/list_records.h"
#include "check/list_sax_reader.h"
#include "engine/process_state.h"

namespace mf {

namespace {

// A failure of the DOM while the tree is walked. Any call may fail and every
// failure ends the reading the same way, so it is thrown from the helpers of
// this file and caught only in ReadUpdateList; it never leaves this file.
struct DomError {
    HRESULT code = S_OK;
};

void Check(HRESULT hr) {
    if (FAILED(hr)) throw DomError{hr};
}

std::wstring NodeName(IXMLDOMNode* node) {
    HRESULT hr = S_OK;
    std::wstring name = xml::NodeName(node, &hr);
    Check(hr);
    return name;
}

std::wstring NodeText(IXMLDOMNode* node) {
    HRESULT hr = S_OK;
    std::wstring text = xml::NodeText(node, &hr);
    Check(hr);
    return text;
}

// The first child of `parent` with exactly this name.
ComPtr<IXMLDOMNode> ChildNamed(IXMLDOMNode* parent, const wchar_t* name) {
    HRESULT hr = S_OK;
    ComPtr<IXMLDOMNode> child = xml::FirstChildNamed(parent, name, &hr);
    Check(hr);
    return child;
}

// The document element, when it has one of the root names. Only an element
// counts: a document type declaration may bear the same name.
ComPtr<IXMLDOMNode> FindRoot(IXMLDOMDocument* document) {
    ComPtr<IXMLDOMElement> element;
    Check(document->get_documentElement(element.GetAddressOf()));
    if (!element) return nullptr;
    ComPtr<IXMLDOMNode> root;
    Check(element->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(root.GetAddressOf())));
    const std::wstring name = NodeName(root.Get());
    for (const wchar_t* known : {L"update", L"updates", L"mirefold"})
        if (name == known) return root;
    return nullptr;
}

// The next node in document order (depth first), or null at the end.
ComPtr<IXMLDOMNode> NextInDocumentOrder(const ComPtr<IXMLDOMNode>& node) {
    ComPtr<IXMLDOMNode> next;
    Check(node->get_firstChild(next.GetAddressOf()));
    if (next) return next;
    ComPtr<IXMLDOMNode> current = node;
    while (current) {
        Check(current->get_nextSibling(next.GetAddressOf()));
        if (next) return next;
        ComPtr<IXMLDOMNode> parent;
        Check(current->get_parentNode(parent.GetAddressOf()));
        current = std::move(parent);
    }
    return nullptr;
}

// The attributes of an element, read once: the record rules try up to a
// dozen names per field, and each DOM look-up is a COM call.
class AttributeSet {
public:
    explicit AttributeSet(IXMLDOMNode* node) {
        ComPtr<IXMLDOMNamedNodeMap> map;
        if (FAILED(node->get_attributes(map.GetAddressOf())) || !map) return;
        long count = 0;
        Check(map->get_length(&count));
        values_.reserve(static_cast<std::size_t>(count));
        for (long i = 0; i < count; ++i) {
            ComPtr<IXMLDOMNode> attribute;
            Check(map->get_item(i, attribute.GetAddressOf()));
            if (!attribute) continue;
            OwnedVariant value;
            Check(attribute->get_nodeValue(value.put()));
            values_.emplace_back(NodeName(attribute.Get()), value.text());
        }
    }
    [[nodiscard]] std::vector<AttributeView> Views() const {
        std::vector<AttributeView> views;
        views.reserve(values_.size());
        for (const auto& [name, value] : values_) views.push_back({name, value});
        return views;
    }

private:
    std::vector<std::pair<std::wstring, std::wstring>> values_;
};

// Every node from the document node on, in document order. Iterative, so
// that a deeply nested list cannot exhaust the stack. A failure part-way
// keeps the records read before it.
void WalkRecords(IXMLDOMDocument* document, IXMLDOMNode* root, ListEntries& target) {
    ListRecordBuilder builder;
    {
        const AttributeSet rootAttributes(root);
        builder.SetListHash(AttributeValue(rootAttributes.Views(), kHashAttribute));
    }
    ComPtr<IXMLDOMNode> node;
    Check(document->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(node.GetAddressOf())));
    while (node) {
        DOMNodeType type = NODE_INVALID;
        Check(node->get_nodeType(&type));
        if (type == NODE_ELEMENT) {
            const RecordElement element = RecordElementOf(NodeName(node.Get()));
            const AttributeSet attributes(node.Get());
            if (element != RecordElement::None) {
                const std::wstring text = element == RecordElement::Description ? NodeText(node.Get()) : L"";
                if (const RecordFields* fields = builder.FromElement(element, attributes.Views(), text))
                    target.Append(*fields);
            }
        }
        node = NextInDocumentOrder(node);
    }
}

// Removes the root's first "guid" and writes the list back in place; a list
// without one is left as it is.
void RemoveIdentifier(IXMLDOMDocument* document, IXMLDOMNode* root, const std::wstring& path) {
    ComPtr<IXMLDOMNode> guid = ChildNamed(root, L"guid");
    if (!guid) return;
    ComPtr<IXMLDOMNode> removed;
    Check(root->removeChild(guid.Get(), removed.GetAddressOf()));
    // The list itself was read; a list that cannot be written back (a
    // read-only file) is not a format error.
    if (!xml::SaveFile(document, path)) WriteLog(L"Cannot write " + path);
}

std::wstring ErrorMessageOf(HRESULT code) {
    ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.GetAddressOf()) == S_OK && info) {
        Bstr description;
        if (SUCCEEDED(info->GetDescription(description.put())) && !description.str().empty()) return description.str();
    }
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    UniqueLocalMemory owned(buffer);
    return length > 0 ? Trim(std::wstring(buffer, length)) : std::wstring();
}

std::wstring FormatErrorText(bool serverList, HRESULT code) {
    return ListFormatErrorText(Translate(L"The xml file format error!"), serverList,
                               ReadConfig(L"UPDATEINFO", L"ListURL"), ErrorMessageOf(code));
}

// A list comes from the network: the document does not fetch entities that
// name other files or addresses.
ComPtr<IXMLDOMDocument> LoadDocument(const std::wstring& path) { return xml::LoadFile(path); }

}  // namespace

bool ReadUpdateListEntries(const std::wstring& path, ListEntries& entries, DownLoadList& values, bool serverList,
                           std::wstring* formatError) {
    // The streamed reading first; the DOM walk below when the SAX reader is
    // not there or the file does not parse (it then reports the error).
    StreamedList streamed;
    if (ReadListStreamed(path, streamed)) {
        if (!streamed.rootFound) return false;
        if (serverList) {
            if (streamed.hasGuid) values.listIdentifier = streamed.guid;
            values.fileUrlTemplate = streamed.hasFileUrl ? streamed.fileUrl : kDefaultFileUrlTemplate;
        }
        entries = std::move(streamed.records);
        return true;
    }
    try {
        ComPtr<IXMLDOMDocument> document = LoadDocument(path);
        if (!document) return false;
        ComPtr<IXMLDOMNode> root = FindRoot(document.Get());
        if (!root) return false;
        if (serverList) {
            if (ComPtr<IXMLDOMNode> guid = ChildNamed(root.Get(), L"guid"))
                values.listIdentifier = NodeText(guid.Get());
            values.fileUrlTemplate = kDefaultFileUrlTemplate;
            if (ComPtr<IXMLDOMNode> fileUrl = ChildNamed(root.Get(), L"fileurl"))
                values.fileUrlTemplate = NodeText(fileUrl.Get());
        }
        // Records read before a failure of the walk stay.
        WalkRecords(document.Get(), root.Get(), entries);
        return true;
    } catch (const DomError& error) {
        if (formatError != nullptr) *formatError = FormatErrorText(serverList, error.code);
        return false;
    }
}

void RemoveListIdentifier(const std::wstring& path) {
    try {
        if (ComPtr<IXMLDOMDocument> document = xml::LoadFileKeepingLayout(path))
            if (ComPtr<IXMLDOMNode> root = FindRoot(document.Get())) RemoveIdentifier(document.Get(), root.Get(), path);
    } catch (const DomError&) {
    }
}

bool ReadListAndRemoveIdentifier(const std::wstring& path, DownLoadList& target, bool serverList,
                                 std::wstring* formatError) {
    if (!ReadUpdateList(path, target, serverList, formatError)) return false;
    RemoveListIdentifier(path);
    return true;
}

bool ReadUpdateList(const std::wstring& path, DownLoadList& target, bool serverList, std::wstring* formatError) {
    ListEntries entries;
    const bool read = ReadUpdateListEntries(path, entries, target, serverList, formatError);
    if (entries.size() > 0) {
        std::vector<updatefileinfo> records;
        records.reserve(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) records.push_back(entries.Record(i));
        // One hold of the list lock for the whole list.
        target.AddNormalisedListRecords(std::move(records));
    }
    return read;
}

}  // namespace mf
