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

ComPtr<IXMLDOMNode> UpdateRoot(IXMLDOMDocument* document) {
    const ComPtr<IXMLDOMNode> node = xml::AsNode(document);
    return node ? xml::FirstChildNamed(node.Get(), L"update") : nullptr;
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
    const ComPtr<IXMLDOMDocument> product = xml::LoadFile(productList);
    const ComPtr<IXMLDOMDocument> main = xml::LoadFile(mainList);
    if (!product || !main) return 0;
    const ComPtr<IXMLDOMNode> productRoot = UpdateRoot(product.Get());
    const ComPtr<IXMLDOMNode> mainRoot = UpdateRoot(main.Get());
    if (!productRoot || !mainRoot) return 0;
    const bool mainMd5Keys = DeclaresMd5Keys(RootHash(mainRoot));
    const bool sameHash = mainMd5Keys == DeclaresMd5Keys(RootHash(productRoot));

    // Backwards, each appended at the end: the main list's entries follow
    // the product's own, so a product entry wins over one of the same path.
    std::vector<ComPtr<IXMLDOMNode>> children = xml::ChildNodes(mainRoot.Get());
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        IXMLDOMNode* child = it->Get();
        if (xml::HasChildNodes(child)) continue;
        ComPtr<IXMLDOMElement> element;
        if (SUCCEEDED(child->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.GetAddressOf())))) {
            PrepareMainListEntry(element.Get(), macros, fetch);
            if (!sameHash) KeepHashDeclaration(element.Get(), mainMd5Keys);
        }
        ComPtr<IXMLDOMNode> removed;
        mainRoot->removeChild(child, removed.GetAddressOf());
        ComPtr<IXMLDOMNode> appended;
        productRoot->appendChild(removed ? removed.Get() : child, appended.GetAddressOf());
    }
    return xml::SaveFile(product.Get(), productList) ? 1 : 0;
}

int MergeMainList(const std::wstring& productList, const std::wstring& mainList) {
    return MergeMainListWith(productList, mainList, ConfiguredMainListMacros(),
                             [](const std::wstring& url) { return HttpGetText(url, L""); });
}

}  // namespace mf
