#include "check_fixture.h"

#include "base/strings.h"
#include "check/background_refresh.h"

namespace mf::test {

std::string ListXml(const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update>\r\n" + entries + "</update>\r\n";
}

CheckFixture::CheckFixture() : digest_(ServerUrl(L"checkservice")) {
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
