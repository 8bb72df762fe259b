#include "support/test_servers.h"

#include <gtest/gtest.h>

#include "base/files.h"
#include "base/strings.h"
#include "support/test_support.h"

namespace mf::test {

std::wstring ServerUrl(const std::wstring& name) {
    return Trim(Widen(ReadFileBytes(BuildPath(L"servers\\" + name + L"\\url")), CodePage::Utf8));
}

std::wstring WwwPath(const std::wstring& relative) { return BuildPath(L"www\\" + relative); }

std::wstring RunningTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return Widen(info->test_suite_name()) + L"-" + Widen(info->name());
}

NginxSite::NginxSite(const std::wstring& area, const std::wstring& name) : relative_(area + L"/" + name + L"/") {
    RemoveTree(Path());
    CreateFolderTree(Path());
}

NginxSite::~NginxSite() {
    RemoveTree(Path());
}

std::wstring NginxSite::Path(const std::wstring& file) const {
    std::wstring path = WwwPath(Replaced(relative_ + file, L"/", L"\\"));
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

std::wstring NginxSite::Url(const std::wstring& file, std::wstring_view location) const {
    return ServerUrl(L"nginx") + std::wstring(location) + relative_ + Replaced(file, L"\\", L"/");
}

bool NginxSite::Publish(const std::wstring& file, const std::string& bytes) const {
    return WriteFileBytes(Path(file), bytes);
}

}  // namespace mf::test
