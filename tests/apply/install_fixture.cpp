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
    CreateFolderTree(folder_ / L"tmp");
    Restart();
    WriteConfig();
}

InstallFixture::~InstallFixture() { use_.reset(); }

void InstallFixture::Restart() {
    use_.reset();
    state_ = std::make_unique<ProcessState>();
    use_ = std::make_unique<ScopedProcessState>(*state_);
    state_->workFolder.Set(folder_.path() + L"\\");
    // The desktop and the system folder of this test; the rest are the
    // prefix's own.
    const std::wstring desktop = DesktopFolder();
    const std::wstring system = SystemFolder();
    state_->paths.SetFolderSource([desktop, system](ShellFolder folder) {
        if (folder == ShellFolder::Desktop) return desktop;
        if (folder == ShellFolder::System) return system;
        return SystemShellFolder(folder);
    });
}

void InstallFixture::WriteConfig(const std::wstring& mirefoldLines, const std::wstring& applicationLines) {
    const std::wstring text = L"[Mirefold]\r\nLog=install.log\r\nTempPath=" + (folder_ / L"tmp") + L"\r\n" +
                              mirefoldLines + L"\r\n[UPDATEINFO]\r\nListURL=http://127.0.0.1:9/install/update.xml\r\n" +
                              L"[APPLICATION]\r\n" + applicationLines + L"\r\n";
    ASSERT_TRUE(WriteFileBytes(folder_ / L"mirefold.ini", Narrow(text)));
    state_->config.ClearCache();
}

std::wstring InstallFixture::Installed(const std::wstring& relative) const { return folder_ / relative; }

void InstallFixture::Install(const std::wstring& relative, const std::string& bytes) {
    const std::wstring path = Installed(relative);
    CreateFolderTree(FolderOf(path));
    ASSERT_TRUE(WriteFileBytes(path, bytes));
}

std::wstring InstallFixture::DownloadFolder() const { return state_->paths.ListCacheBase(); }

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
    return state_->updateList.ElementAt(state_->updateList.Add(record));
}

void InstallFixture::RunPhase() {
    state_->updateList.SetStatus(UpdateStatus::CheckLocalOk);
    ASSERT_TRUE(RunInstallPhase(nullptr));
    EXPECT_EQ(state_->updateList.Status(), UpdateStatus::CopyOk);
}

std::wstring InstallFixture::LogText() const { return Widen(ReadFileBytes(folder_ / L"install.log")); }

void InstallFixture::InstallHelper(const std::wstring& builtName, const std::wstring& relative) {
    const std::wstring path = Installed(relative);
    CreateFolderTree(FolderOf(path));
    ASSERT_TRUE(::CopyFileW(HelperPath(builtName).c_str(), path.c_str(), FALSE)) << Narrow(path);
}

}  // namespace mf::test
