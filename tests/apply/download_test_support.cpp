#include "download_test_support.h"

#include <chrono>

#include "apply/download_phase.h"
#include "base/files.h"
#include "base/messages.h"
#include "base/strings.h"
#include "support/test_servers.h"
#include "support/test_support.h"

namespace mf::test {

namespace {

void CopyTree(const std::wstring& from, const std::wstring& to) {
    CreateFolderTree(to);
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW((from + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) CopyTree(from + L"\\" + name, to + L"\\" + name);
        else ::CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

}  // namespace

ServedTree::ServedTree(const std::wstring& name) : name_(name), site_(L"dl", name), baseUrl_(site_.Url()) {
    baseUrl_.pop_back();  // the trailing slash
    CopyTree(WwwPath(L"download-tree"), site_.Path());
}

std::wstring ServedTree::Source(const std::wstring& relative) const {
    return WwwPath(L"download-tree\\" + relative);
}

std::vector<std::wstring> ServedTree::Requests(std::size_t atLeast) const {
    const std::wstring prefix = L"/dl/" + name_ + L"/";
    std::vector<std::wstring> found;
    WaitUntil(
        [&] {
            found.clear();
            const std::wstring log = Widen(ReadFileBytes(BuildPath(L"servers\\nginx\\access.log")), CodePage::Utf8);
            for (const std::wstring& line : Split(log, L'\n')) {
                // "<status> GET <uri>"
                const std::size_t at = line.find(prefix);
                if (at == std::wstring::npos) continue;
                found.push_back(line.substr(0, line.find(L' ')) + L" " + TrimRight(line.substr(at + prefix.size())));
            }
            return found.size() >= atLeast;
        },
        std::chrono::seconds(1), std::chrono::milliseconds(20));
    return found;
}

DownloadFixture::DownloadFixture() {
    WriteIni(EngineIni()
                 .Set(L"Mirefold", L"Log", L"engine.log")
                 .Set(L"Mirefold", L"TempAppPath", 1)
                 .Set(L"UPDATEINFO", L"ListURL", L"http://127.0.0.1/product/update.xml"));
}

void DownloadFixture::TearDown() {
    // Threads outlive the phase by a little; the state must outlive them.
    EXPECT_TRUE(WaitForDownloadThreads(60000));
    EngineFixture::TearDown();
}

void DownloadFixture::Use(const ServedTree& tree) {
    state().updateList.baseUrl = tree.baseUrl();
}

int DownloadFixture::Add(const std::wstring& path, std::int32_t oper) {
    updatefileinfo record;
    record.path = path;
    record.ver = L"1";
    record.oper = oper;
    return state().updateList.Add(record);
}

std::wstring DownloadFixture::LogText() const {
    return Widen(ReadInFolder(L"engine.log"));
}

}  // namespace mf::test
