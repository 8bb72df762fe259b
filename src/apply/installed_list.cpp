#include "apply/installed_list.h"

#include <map>
#include <set>

#include "apply/install_file.h"
#include "apply/install_rules.h"
#include "base/com_text.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/strings.h"
#include "base/xml_dom.h"

namespace mf {

namespace {

constexpr int kReplaceAttempts = 20;
constexpr DWORD kReplacePauseMs = 800;

struct Entry {
    std::wstring key;  // lower-cased path
    ComPtr<IXMLDOMNode> node;
};

// The "file" elements of a document in document order, each with its key.
std::vector<Entry> FileEntries(IXMLDOMDocument* document) {
    std::vector<Entry> entries;
    std::vector<ComPtr<IXMLDOMNode>> pending{xml::AsNode(document)};
    while (!pending.empty()) {
        const ComPtr<IXMLDOMNode> node = std::move(pending.back());
        pending.pop_back();
        if (!node) continue;
        ComPtr<IXMLDOMElement> element;
        if (xml::IsElement(node.Get()) && xml::NodeName(node.Get()) == L"file" &&
            SUCCEEDED(node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.GetAddressOf())))) {
            const std::wstring path =
                FileEntryPath([&](const wchar_t* name) { return xml::GetAttribute(element.Get(), name); });
            entries.push_back({ToLower(path), node});
        }
        std::vector<ComPtr<IXMLDOMNode>> children = xml::ChildNodes(node.Get());
        for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back(std::move(*it));
    }
    return entries;
}

// A copy of an element of another document, made in `document`: the name
// and the attributes.
ComPtr<IXMLDOMNode> CopyElement(IXMLDOMDocument* document, IXMLDOMNode* original) {
    ComPtr<IXMLDOMElement> copy;
    const Bstr name(xml::NodeName(original));
    if (FAILED(document->createElement(name.get(), copy.GetAddressOf())) || !copy) return nullptr;
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    if (FAILED(original->get_attributes(attributes.GetAddressOf())) || !attributes) return nullptr;
    long count = 0;
    attributes->get_length(&count);
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> attribute;
        if (FAILED(attributes->get_item(i, attribute.GetAddressOf())) || !attribute) return nullptr;
        OwnedVariant value;
        if (FAILED(attribute->get_nodeValue(value.put()))) return nullptr;
        if (!xml::SetAttribute(copy.Get(), xml::NodeName(attribute.Get()), value.text())) return nullptr;
    }
    ComPtr<IXMLDOMNode> node;
    return SUCCEEDED(copy->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(node.GetAddressOf()))) ? node
                                                                                                         : nullptr;
}

// Takes the element out of the tree, leaving its children where it was.
bool Unwrap(IXMLDOMNode* parent, IXMLDOMNode* element) {
    VARIANT before;  // borrows the element: no reference of its own
    ::VariantInit(&before);
    before.vt = VT_UNKNOWN;
    before.punkVal = element;
    for (const ComPtr<IXMLDOMNode>& child : xml::ChildNodes(element)) {
        ComPtr<IXMLDOMNode> moved;
        if (FAILED(parent->insertBefore(child.Get(), before, moved.GetAddressOf()))) return false;
    }
    return true;
}

bool ReplaceWithRetry(const std::wstring& source, const std::wstring& target) {
    for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
        if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
        ::Sleep(kReplacePauseMs);
    }
    return false;
}

bool WriteListKeepingEntries(const std::wstring& source, const std::wstring& installedList,
                             const std::vector<std::wstring>& failed, const std::wstring& output) {
    const ComInit com;
    const ComPtr<IXMLDOMDocument> fresh = xml::LoadFile(source);
    if (!fresh) return false;
    const ComPtr<IXMLDOMDocument> installed = FileExists(installedList) ? xml::LoadFile(installedList) : nullptr;
    return KeepInstalledEntries(fresh.Get(), installed.Get(), failed) && xml::SaveFile(fresh.Get(), output);
}

}  // namespace

bool KeepInstalledEntries(IXMLDOMDocument* fresh, IXMLDOMDocument* installed, const std::vector<std::wstring>& failed) {
    std::set<std::wstring> keys;
    for (const std::wstring& path : failed) keys.insert(ToLower(path));

    std::map<std::wstring, ComPtr<IXMLDOMNode>> kept;
    if (installed != nullptr)
        for (const Entry& entry : FileEntries(installed))
            if (keys.count(entry.key) != 0) kept.emplace(entry.key, entry.node);

    std::set<std::wstring> done;
    for (const Entry& entry : FileEntries(fresh)) {
        if (keys.count(entry.key) == 0) continue;
        ComPtr<IXMLDOMNode> parent;
        if (FAILED(entry.node->get_parentNode(parent.GetAddressOf())) || !parent) return false;
        if (!Unwrap(parent.Get(), entry.node.Get())) return false;
        ComPtr<IXMLDOMNode> removed;
        const auto found = kept.find(entry.key);
        if (found != kept.end() && done.insert(entry.key).second) {
            const ComPtr<IXMLDOMNode> copy = CopyElement(fresh, found->second.Get());
            if (!copy || FAILED(parent->replaceChild(copy.Get(), entry.node.Get(), removed.GetAddressOf())))
                return false;
        } else if (FAILED(parent->removeChild(entry.node.Get(), removed.GetAddressOf()))) {
            return false;
        }
    }
    return true;
}

bool PlaceUpdateList(const std::wstring& source, const std::wstring& target, const std::vector<std::wstring>& failed) {
    if (!FileExists(source)) return false;
    const std::wstring temporary = TemporaryCopyName(target);
    const bool written = failed.empty() ? ::CopyFileW(source.c_str(), temporary.c_str(), FALSE) != FALSE
                                        : WriteListKeepingEntries(source, target, failed, temporary);
    if (!written || !ReplaceWithRetry(temporary, target)) {
        DeleteFileForce(temporary);
        return false;
    }
    DeleteFileForce(source);
    return true;
}

}  // namespace mf
