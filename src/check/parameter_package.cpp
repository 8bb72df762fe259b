#include "check/parameter_package.h"

#include <vector>

#include "app/process_state.h"
#include "base/strings.h"
#include "check/download_limits.h"
#include "check/xml_dom.h"
#include "zip/unzip.h"

namespace mf {

namespace {

// The entry as bytes, or nothing when the package cannot be read.
bool ReadPackageEntry(const std::wstring& path, std::string& text) {
    if (!FileExists(path)) return false;
    ZipHandle zip = OpenZip(path, kParameterPackagePassword);
    if (zip == nullptr) return false;
    bool complete = false;
    ZipEntry entry;
    if (FindZipItem(zip, kParameterPackageEntry, true, entry) == ZipResult::Ok) {
        // Zero-filled and a little longer than the entry, so the text always ends.
        std::vector<char> buffer(entry.uncompressedSize + 10, '\0');
        std::size_t filled = 0;
        for (;;) {
            std::size_t produced = 0;
            const ZipResult result =
                UnzipItemToBuffer(zip, entry.index, buffer.data() + filled, entry.uncompressedSize - filled, &produced);
            filled += produced;
            if (result == ZipResult::Ok) {
                complete = true;
                break;
            }
            if (result != ZipResult::More || produced == 0 || filled >= entry.uncompressedSize) break;
        }
        if (complete) text.assign(buffer.data(), filled);
    }
    CloseZip(zip);
    return complete;
}

}  // namespace

bool ApplyParameterFields(const std::wstring& xmlText) {
    const ComPtr<IXMLDOMDocument> document = xml::LoadText(xmlText);
    if (!document) return false;
    ComPtr<IXMLDOMNode> root;
    if (FAILED(document->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(root.GetAddressOf())))) return false;
    const ComPtr<IXMLDOMNode> fields = xml::FirstChildNamed(root.Get(), L"fields");
    if (!fields) return false;

    ProcessState& state = Process();
    ComPtr<IXMLDOMNode> child;
    fields->get_firstChild(child.GetAddressOf());
    while (child) {
        DOMNodeType type = NODE_INVALID;
        if (SUCCEEDED(child->get_nodeType(&type)) && type == NODE_ELEMENT)
            state.variables.Set(xml::NodeName(child.Get()), xml::NodeText(child.Get()));
        ComPtr<IXMLDOMNode> next;
        if (FAILED(child->get_nextSibling(next.GetAddressOf()))) break;
        child = next;
    }
    if (const auto count = state.variables.Find(L"threadcount")) state.fileConcurrency = ClampFileConcurrency(ParseLong(*count));
    if (const auto count = state.variables.Find(L"filethread")) state.fileConnections = ClampFileConnections(ParseLong(*count));
    return true;
}

bool LoadParameterPackage() {
    std::string bytes;
    if (!ReadPackageEntry(Process().paths.PackageFile(), bytes)) return false;
    const ComInit com;
    return ApplyParameterFields(Widen(bytes));
}

}  // namespace mf
