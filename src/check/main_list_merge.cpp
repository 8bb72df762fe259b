#include "check/main_list_merge.h"

#include <vector>

#include "base/handles.h"
#include "base/strings.h"
#include "base/xml_dom.h"
#include "check/guid_text.h"
#include "check/list_records.h"
#include "check/server_defaults.h"
#include "engine/process_state.h"
#include "net/internet.h"
#include "net/url_text.h"

namespace mf {

namespace {

constexpr const wchar_t* kNoDigest = L"00000000000000000000000000000000";

// The document element when it is named "update". Only an element will
// do: a document type declaration "<!DOCTYPE update>" bears the same name,
// and entries appended to it would vanish from the list unseen.
ComPtr<IXMLDOMNode> UpdateRoot(IXMLDOMDocument* document) {
    ComPtr<IXMLDOMElement> root;
    if (document->get_documentElement(root.GetAddressOf()) != S_OK || !root) return nullptr;
    ComPtr<IXMLDOMNode> node;
    if (FAILED(root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(node.GetAddressOf()))) ||
        xml::NodeName(node.Get()) != L"update")
        return nullptr;
    return node;
}

std::wstring RootHash(const ComPtr<IXMLDOMNode>& root) {
    ComPtr<IXMLDOMElement> element;
    if (FAILED(root->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.GetAddressOf())))) return {};
    return xml::GetAttribute(element.Get(), kHashAttribute);
}

// An entry moved into a list that declares its digest keys otherwise than
// the main list does keeps the main list's declaration as its own.
void KeepHashDeclaration(IXMLDOMElement* element, bool mainMd5Keys) {
    if (!xml::GetAttribute(element, kHashAttribute).empty()) return;
    xml::SetAttribute(element, kHashAttribute, mainMd5Keys ? kMd5HashValue : kNoHashValue);
}

}  // namespace

MainListMacros ConfiguredMainListMacros() {
    MainListMacros macros;
    macros.zqdir = ReadConfigOr(L"APPLICATION", L"zqdir", L"temp");
    macros.agentName = ReadConfigOr(L"APPLICATION", L"AgentName", L"vd");
    macros.digestServiceUrl = ReadConfigOr(L"UPDATEINFO", L"FileMd5HandleUrl", kDefaultDigestServiceUrl);
    return macros;
}

std::wstring DigestRequestUrl(const std::wstring& serviceUrl, const std::wstring& path) {
    return serviceUrl + L"?FileUrl=" + EncodeUrlText(path);
}

std::wstring EntryKeyFromDigestReply(const std::wstring& reply) {
    if (reply.size() != 32 || EqualsNoCase(reply, kNoDigest)) return NewGuidText();
    return reply;
}

void PrepareMainListEntry(IXMLDOMElement* element, const MainListMacros& macros, const DigestFetch& fetch) {
    std::wstring desname = xml::GetAttribute(element, L"desname");
    if (!desname.empty() && ReplaceAll(desname, L"{zqdir}", macros.zqdir) > 0)
        xml::SetAttribute(element, L"desname", desname);

    std::wstring path = xml::GetAttribute(element, L"path");
    if (ReplaceAll(path, L"{agentName}", macros.agentName) == 0) return;
    xml::SetAttribute(element, L"path", path);
    const std::wstring reply = fetch ? fetch(DigestRequestUrl(macros.digestServiceUrl, path)) : std::wstring(kNoDigest);
    xml::SetAttribute(element, L"ver", EntryKeyFromDigestReply(reply));
}

int MergeMainListWith(const std::wstring& productList, const std::wstring& mainList, const MainListMacros& macros,
                      const DigestFetch& fetch) {
    const ComInit com;
    // The product list is saved back and read again: it keeps its lines,
    // and every entry taken over starts a line of its own.
    const ComPtr<IXMLDOMDocument> product = xml::LoadFileKeepingLayout(productList);
    const ComPtr<IXMLDOMDocument> main = xml::LoadFile(mainList);
    if (!product || !main) return 0;
    const ComPtr<IXMLDOMNode> productRoot = UpdateRoot(product.Get());
    const ComPtr<IXMLDOMNode> mainRoot = UpdateRoot(main.Get());
    if (!productRoot || !mainRoot) return 0;
    const bool mainMd5Keys = DeclaresMd5Keys(RootHash(mainRoot));
    const bool sameHash = mainMd5Keys == DeclaresMd5Keys(RootHash(productRoot));

    // Backwards, each appended at the end: the main list's entries follow
    // the product's own, so a product entry wins over one of the same path.
    // A list that cannot be merged whole is no list: any failed step fails
    // the merge, rather than leave a shorter list that looks complete.
    HRESULT walked = S_OK;
    std::vector<ComPtr<IXMLDOMNode>> children = xml::ChildNodes(mainRoot.Get(), &walked);
    if (FAILED(walked)) return 0;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        IXMLDOMNode* child = it->Get();
        if (xml::HasChildNodes(child)) continue;
        ComPtr<IXMLDOMElement> element;
        if (SUCCEEDED(child->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.GetAddressOf())))) {
            PrepareMainListEntry(element.Get(), macros, fetch);
            if (!sameHash) KeepHashDeclaration(element.Get(), mainMd5Keys);
        }
        ComPtr<IXMLDOMNode> removed;
        if (FAILED(mainRoot->removeChild(child, removed.GetAddressOf())) || !removed) return 0;
        ComPtr<IXMLDOMNode> appended;
        if (!xml::AppendLineBreak(product.Get(), productRoot.Get()) ||
            FAILED(productRoot->appendChild(removed.Get(), appended.GetAddressOf())) || !appended)
            return 0;
    }
    if (!xml::AppendLineBreak(product.Get(), productRoot.Get())) return 0;
    return xml::SaveFile(product.Get(), productList) ? 1 : 0;
}

int MergeMainList(const std::wstring& productList, const std::wstring& mainList) {
    return MergeMainListWith(productList, mainList, ConfiguredMainListMacros(),
                             [](const std::wstring& url) { return HttpGetText(url, L""); });
}

}  // namespace mf
