#include "support/test_servers.h"

#include "base/strings.h"
#include "support/test_support.h"

namespace mf::test {

std::wstring ServerUrl(const std::wstring& name) {
    return Trim(Widen(ReadFileBytes(BuildPath(L"servers\\" + name + L"\\url")), CodePage::Utf8));
}

std::wstring WwwPath(const std::wstring& relative) { return BuildPath(L"www\\" + relative); }

}  // namespace mf::test
