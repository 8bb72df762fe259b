#include "check_fixture.h"

#include <deque>

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
    Restart();
}

CheckFixture::~CheckFixture() { use_.reset(); }

void CheckFixture::Restart() {
    use_.reset();
    state_ = std::make_unique<ProcessState>();
    use_ = std::make_unique<ScopedProcessState>(*state_);
    state_->workFolder.Set(folder_.path());
    state_->run.executableBaseName = L"mirefold";
    // The starter belongs to the process state: every new state gets it.
    SetRelaunchStarterForTesting([this](const std::wstring& parameter) { relaunches_.push_back(parameter); });
}

void CheckFixture::WriteConfig(const std::vector<std::wstring>& lines) {
    // One block per section: the ini reader only sees a section's first block.
    std::deque<std::pair<std::wstring, std::wstring>> sections{
        {L"Mirefold", L"Log=check.log\r\nTempPath=" + folder_.path() + L"\\tmp\r\nShowWhenCheck=0\r\n"}};
    std::wstring* current = &sections.front().second;
    for (const std::wstring& line : lines) {
        if (line.size() > 2 && line.front() == L'[' && line.back() == L']') {
            const std::wstring name = line.substr(1, line.size() - 2);
            current = nullptr;
            for (auto& section : sections)
                if (section.first == name) current = &section.second;
            if (current == nullptr) current = &sections.emplace_back(name, L"").second;
            continue;
        }
        *current += line + L"\r\n";
    }
    std::wstring text;
    for (const auto& section : sections) text += L"[" + section.first + L"]\r\n" + section.second;
    CreateFolderTree(folder_.path() + L"\\tmp");
    WriteFileBytes(folder_.path() + L"\\mirefold.ini", Narrow(text));
    state_->config.ClearCache();
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

std::wstring CheckFixture::InstallPath(const std::wstring& relative) const { return folder_.path() + L"\\" + relative; }

void CheckFixture::Install(const std::wstring& relative, const std::string& text) {
    const std::wstring path = InstallPath(relative);
    CreateFolderTree(path.substr(0, path.find_last_of(L'\\')));
    ASSERT_TRUE(WriteFileBytes(path, text));
}

std::vector<std::wstring> CheckFixture::UpdatePaths() const {
    std::vector<std::wstring> paths;
    for (const auto& record : state_->updateList.Records()) paths.push_back(record.path);
    return paths;
}

std::wstring CheckFixture::LogText() const { return Widen(ReadFileBytes(folder_.path() + L"\\check.log")); }

}  // namespace mf::test
