#include "install_fixture.h"

#include "apply/install_phase.h"
#include "apply/install_rules.h"
#include "base/files.h"
#include "base/path_text.h"
#include "base/strings.h"
#include "engine/paths.h"

namespace mf::test {

std::wstring HelperPath(const std::wstring& name) { return BuildPath(L"installtest\\" + name); }

std::string MarkLog(const std::wstring& program) { return ReadFileBytes(program + L".log"); }

InstallFixture::InstallFixture() {
    CreateFolderTree(DesktopFolder());
    CreateFolderTree(SystemFolder());
    CreateFolderTree(InFolder(L"tmp"));
    UseTestShellFolders();
    WriteConfig();
}

void InstallFixture::Restart() {
    EngineFixture::Restart();
    UseTestShellFolders();
}

void InstallFixture::UseTestShellFolders() {
    // The desktop and the system folder of this test; the rest are the
    // prefix's own.
    const std::wstring desktop = DesktopFolder();
    const std::wstring system = SystemFolder();
    state().paths.SetFolderSource([desktop, system](ShellFolder folder) {
        if (folder == ShellFolder::Desktop) return desktop;
        if (folder == ShellFolder::System) return system;
        return SystemShellFolder(folder);
    });
}

EngineIni InstallFixture::CommonIni() const {
    EngineIni ini;
    ini.Set(L"Mirefold", L"Log", L"install.log").Set(L"Mirefold", L"TempPath", InFolder(L"tmp"));
    ini.Set(L"UPDATEINFO", L"ListURL", L"http://127.0.0.1:9/install/update.xml");
    ini.Set(L"APPLICATION", L"", L"");
    return ini;
}

std::wstring InstallFixture::Installed(const std::wstring& relative) const {
    return InFolder(relative);
}

void InstallFixture::Install(const std::wstring& relative, const std::string& bytes) {
    const std::wstring path = Installed(relative);
    CreateFolderTree(FolderOf(path));
    ASSERT_TRUE(WriteFileBytes(path, bytes));
}

std::wstring InstallFixture::DownloadFolder() const {
    return state().paths.ListCacheBase();
}

void InstallFixture::Pending(const std::wstring& relative, const std::string& bytes) {
    const std::wstring path = JoinFolderPath(DownloadFolder(), relative) + L"_";
    CreateFolderTree(FolderOf(path));
    ASSERT_TRUE(WriteFileBytes(path, bytes));
}

updatefileinfo& InstallFixture::AddRecord(const std::wstring& path, const std::wstring& desname, std::int32_t oper) {
    updatefileinfo record;
    record.path = path;
    record.desname = desname;
    record.ver = L"1";
    record.oper = oper;
    return state().updateList.ElementAt(state().updateList.Add(record));
}

void InstallFixture::RunPhase() {
    state().updateList.SetStatus(UpdateStatus::CheckLocalOk);
    ASSERT_TRUE(RunInstallPhase(nullptr));
    EXPECT_EQ(state().updateList.Status(), UpdateStatus::CopyOk);
}

std::wstring InstallFixture::LogText() const {
    return Widen(ReadInFolder(L"install.log"));
}

void InstallFixture::InstallHelper(const std::wstring& builtName, const std::wstring& relative) {
    const std::wstring path = Installed(relative);
    CreateFolderTree(FolderOf(path));
    ASSERT_TRUE(::CopyFileW(HelperPath(builtName).c_str(), path.c_str(), FALSE)) << Narrow(path);
}

}  // namespace mf::test
