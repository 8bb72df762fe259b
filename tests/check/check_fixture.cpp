#include "check_fixture.h"

#include "base/strings.h"
#include "check/background_refresh.h"

namespace mf::test {

std::wstring FixtureUrl(const std::wstring& name) {
    return Trim(Widen(ReadFileBytes(BuildPath(L"servers\\" + name + L"\\url")), CodePage::Utf8));
}

std::string ListXml(const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update>\r\n" + entries + "</update>\r\n";
}

CheckFixture::CheckFixture() : nginx_(FixtureUrl(L"nginx")), digest_(FixtureUrl(L"checkservice")) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    site_ = L"check/" + Widen(info->test_suite_name()) + L"-" + Widen(info->name()) + L"/";
    RemoveTree(BuildPath(L"www\\" + Replaced(site_, L"/", L"\\")));
    CreateFolderTree(BuildPath(L"www\\" + Replaced(site_, L"/", L"\\")));
    CreateFolderTree(InFolder(L"tmp"));
    CatchRelaunches();
}

void CheckFixture::Restart() {
    EngineFixture::Restart();
    CatchRelaunches();
}

void CheckFixture::CatchRelaunches() {
    state().run.executableBaseName = L"mirefold";
    // The starter belongs to the process state: every new state gets it.
    SetRelaunchStarterForTesting([this](const std::wstring& parameter) { relaunches_.push_back(parameter); });
}

EngineIni CheckFixture::CommonIni() const {
    EngineIni ini;
    ini.Set(L"Mirefold", L"Log", L"check.log").Set(L"Mirefold", L"TempPath", InFolder(L"tmp"));
    ini.Set(L"Mirefold", L"ShowWhenCheck", L"0");
    return ini;
}

std::wstring CheckFixture::SitePath(const std::wstring& name) const {
    return BuildPath(L"www\\" + Replaced(site_ + name, L"/", L"\\"));
}

void CheckFixture::Publish(const std::wstring& name, const std::string& text) {
    const std::wstring path = SitePath(name);
    CreateFolderTree(path.substr(0, path.find_last_of(L'\\')));
    ASSERT_TRUE(WriteFileBytes(path, text));
}

std::wstring CheckFixture::SiteUrl(const std::wstring& name) const { return nginx_ + site_ + name; }

std::wstring CheckFixture::InstallPath(const std::wstring& relative) const {
    return InFolder(relative);
}

void CheckFixture::Install(const std::wstring& relative, const std::string& text) {
    const std::wstring path = InstallPath(relative);
    CreateFolderTree(path.substr(0, path.find_last_of(L'\\')));
    ASSERT_TRUE(WriteFileBytes(path, text));
}

std::vector<std::wstring> CheckFixture::UpdatePaths() const {
    std::vector<std::wstring> paths;
    for (const auto& record : state().updateList.Records()) paths.push_back(record.path);
    return paths;
}

std::wstring CheckFixture::LogText() const {
    return Widen(ReadInFolder(L"check.log"));
}

}  // namespace mf::test
