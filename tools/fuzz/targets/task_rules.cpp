// The rules an upgrade task document's texts go through once the system's
// XML parser has read it: element names, the "waitclose" boolean, link file
// names and which files are task documents; one text a line (UTF-16).
#include <vector>

#include "apply/task_rules.h"
#include "base/strings.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const std::wstring& line : mf::Split(mf::fuzz::Utf16Text(data, size), L'\n')) {
        (void)mf::TaskKindOf(line);
        (void)mf::IsTrueText(line);
        (void)mf::IsTaskDocumentName(line);
        const std::wstring link = mf::LinkFileName(line);
        if (link.size() < line.size()) mf::fuzz::Broken("a link name shorter than its path");
    }
    return 0;
}
