#include "check/parameter_package.h"

#include <vector>

#include "base/strings.h"
#include "base/text_format.h"
#include "base/xml_dom.h"
#include "engine/download_limits.h"
#include "engine/process_state.h"
#include "zip/unzip.h"

namespace mf {

namespace {

// The entry as bytes, or nothing when the package cannot be read. The
// package lies in the user's temporary folder, where anybody may put one:
// its declared size is a claim, checked before it sizes anything.
bool ReadPackageEntry(const std::wstring& path, std::string& text) {
    if (!FileExists(path)) return false;
    UniqueZip zip(OpenZip(path, kParameterPackagePassword));
    if (!zip) return false;
    ZipEntry entry;
    if (FindZipItem(zip.get(), kParameterPackageEntry, true, entry) != ZipResult::Ok) return false;
    const std::size_t declared = entry.uncompressedSize;
    if (declared > kParameterPackageEntryMax) {
        WriteLog(Format(L"The parameter package %s declares %u bytes; it is not read.", path,
                        static_cast<unsigned>(entry.uncompressedSize)));
        return false;
    }
    // A little longer than the entry and zero-filled, so the text always
    // ends; the reader is never offered more room than the entry declares.
    std::vector<char> buffer(declared + 10, '\0');
    std::size_t filled = 0;
    for (;;) {
        std::size_t produced = 0;
        const ZipResult result =
            UnzipItemToBuffer(zip.get(), entry.index, buffer.data() + filled, declared - filled, &produced);
        filled += produced;
        if (result == ZipResult::Ok) break;
        if (result != ZipResult::More || produced == 0 || filled >= declared) return false;
    }
    text.assign(buffer.data(), filled);
    return true;
}

// The member that holds a field, or null when the engine does not read it.
std::optional<std::wstring>* FieldNamed(ParameterFields& fields, const std::wstring& name) {
    if (name == L"threadcount") return &fields.threadCount;
    if (name == L"filethread") return &fields.fileThread;
    if (name == L"frommwebsvr") return &fields.fromWebServer;
    return nullptr;
}

}  // namespace

ParameterFields& CurrentParameterFields() { return Process().Shared<ParameterFields>(); }

bool ApplyParameterFields(const std::wstring& xmlText) {
    const ComPtr<IXMLDOMDocument> document = xml::LoadText(xmlText);
    if (!document) return false;
    const ComPtr<IXMLDOMNode> root = xml::AsNode(document.Get());
    if (!root) return false;
    const ComPtr<IXMLDOMNode> fields = xml::FirstChildNamed(root.Get(), L"fields");
    if (!fields) return false;

    ProcessState& state = Process();
    ParameterFields& values = CurrentParameterFields();
    for (const ComPtr<IXMLDOMNode>& child : xml::ChildNodes(fields.Get())) {
        if (!xml::IsElement(child.Get())) continue;
        const std::wstring name = xml::NodeName(child.Get());
        if (std::optional<std::wstring>* field = FieldNamed(values, name)) {
            *field = xml::NodeText(child.Get());
        } else {
            WriteLog(L"The parameter package field [" + name + L"] is not one the engine reads; ignored.");
        }
    }
    if (values.threadCount) state.fileConcurrency = ClampFileConcurrency(ParseLong(*values.threadCount));
    if (values.fileThread) state.fileConnections = ClampFileConnections(ParseLong(*values.fileThread));
    return true;
}

bool LoadParameterPackage() {
    std::string bytes;
    if (!ReadPackageEntry(Process().paths.PackageFile(), bytes)) return false;
    const ComInit com;
    return ApplyParameterFields(Widen(bytes));
}

}  // namespace mf
