#include "check/parameter_package.h"

#include <vector>

#include "base/strings.h"
#include "base/xml_dom.h"
#include "engine/download_limits.h"
#include "engine/process_state.h"
#include "zip/unzip.h"

namespace mf {

namespace {

// The entry as bytes, or nothing when the package cannot be read.
bool ReadPackageEntry(const std::wstring& path, std::string& text) {
    if (!FileExists(path)) return false;
    UniqueZip zip(OpenZip(path, kParameterPackagePassword));
    if (!zip) return false;
    bool complete = false;
    ZipEntry entry;
    if (FindZipItem(zip.get(), kParameterPackageEntry, true, entry) == ZipResult::Ok) {
        // Zero-filled and a little longer than the entry, so the text always ends.
        std::vector<char> buffer(entry.uncompressedSize + 10, '\0');
        std::size_t filled = 0;
        for (;;) {
            std::size_t produced = 0;
            const ZipResult result =
                UnzipItemToBuffer(zip.get(), entry.index, buffer.data() + filled, entry.uncompressedSize - filled, &produced);
            filled += produced;
            if (result == ZipResult::Ok) {
                complete = true;
                break;
            }
            if (result != ZipResult::More || produced == 0 || filled >= entry.uncompressedSize) break;
        }
        if (complete) text.assign(buffer.data(), filled);
    }
    return complete;
}

}  // namespace

bool ApplyParameterFields(const std::wstring& xmlText) {
    const ComPtr<IXMLDOMDocument> document = xml::LoadText(xmlText);
    if (!document) return false;
    const ComPtr<IXMLDOMNode> root = xml::AsNode(document.Get());
    if (!root) return false;
    const ComPtr<IXMLDOMNode> fields = xml::FirstChildNamed(root.Get(), L"fields");
    if (!fields) return false;

    ProcessState& state = Process();
    for (const ComPtr<IXMLDOMNode>& child : xml::ChildNodes(fields.Get())) {
        if (xml::IsElement(child.Get())) state.variables.Set(xml::NodeName(child.Get()), xml::NodeText(child.Get()));
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
