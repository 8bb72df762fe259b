#include "previous_release.h"

#include "base/com_text.h"
#include "base/files.h"
#include "base/strings.h"
#include "base/xml_dom.h"
#include "list/oper_flags.h"
#include "list/release_marks.h"
#include "list/update_file_info.h"

namespace mf::publish {

bool ReadPreviousRelease(const std::wstring& folder, const std::wstring& listName, PreviousRelease& previous,
                         std::wstring& error) {
    previous = PreviousRelease{};
    previous.folder = folder;
    const std::wstring path = folder + L"\\" + listName;
    if (!FileExists(path)) {
        error = L"there is no " + listName + L" in " + folder;
        return false;
    }
    ComPtr<IXMLDOMDocument> document = xml::LoadFile(path);
    ComPtr<IXMLDOMElement> root;
    if (!document || FAILED(document->get_documentElement(root.GetAddressOf())) || !root) {
        error = path + L" is not an XML document";
        return false;
    }
    previous.serial = ParseSerial(xml::GetAttribute(root.Get(), kSerialAttribute));
    ComPtr<IXMLDOMNodeList> records;
    const Bstr name(L"file");
    if (FAILED(document->getElementsByTagName(name.get(), records.GetAddressOf())) || !records) {
        error = L"cannot read " + path;
        return false;
    }
    for (;;) {
        ComPtr<IXMLDOMNode> node;
        if (records->nextNode(node.GetAddressOf()) != S_OK || !node) break;
        ComPtr<IXMLDOMElement> element;
        if (FAILED(node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.GetAddressOf()))))
            continue;
        const std::wstring recordPath = xml::GetAttribute(element.Get(), L"path");
        if (recordPath.empty()) continue;
        if ((ParseOperFlags(xml::GetAttribute(element.Get(), L"oper")) & OPER_DEL) != 0) {
            previous.deletedPaths.push_back(recordPath);
            continue;
        }
        previous.md5ByPath[recordPath] = ToLower(Trim(xml::GetAttribute(element.Get(), L"md5")));
    }
    return true;
}

std::vector<std::wstring> PublishedNames(const PreviousRelease& previous, const std::wstring& listName) {
    std::vector<std::wstring> names{ToLower(listName), ToLower(listName + L"._.zip"),
                                    ToLower(listName + kSignatureSuffix)};
    for (const auto& [path, md5] : previous.md5ByPath) {
        names.push_back(ToLower(path));
        names.push_back(ToLower(path + L"._.zip"));
    }
    return names;
}

}  // namespace mf::publish
