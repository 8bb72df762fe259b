// "uninstall" with the real engine: the installed release goes, the
// configuration stays, and the main program in place does not stop it.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "base/files.h"
#include "base/strings.h"
#include "support/end_to_end.h"

namespace mf {
namespace {

class UninstallRun : public test::EndToEndTest {
protected:
    UninstallRun() : EndToEndTest(L"uninstall-e2e") {}
    void SetUp() override {
        wchar_t desktop[MAX_PATH + 1] = {};
        ASSERT_EQ(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop), S_OK);
        shortcut_ = std::wstring(desktop) + L"\\" + name() + L".lnk";
        Brand(OfflineIni());
    }
    void TearDown() override { ::DeleteFileW(shortcut_.c_str()); }

    void Install(const std::wstring& relative, const std::string& bytes = "installed") {
        const std::wstring path = Folder() + relative;
        ASSERT_TRUE(CreateFolderTree(path.substr(0, path.find_last_of(L'\\'))));
        ASSERT_TRUE(test::WriteFileBytes(path, bytes));
    }
    // The main program leaves a mark when it is started.
    void InstallMainProgram() { Install(L"main.cmd", test::MarkingMainProgram(Folder() + L"started.txt")); }
    bool Exists(const std::wstring& relative) const {
        return ::GetFileAttributesW((Folder() + relative).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::wstring shortcut_;
};

TEST_F(UninstallRun, RemovesTheInstalledReleaseWithTheMainProgramInPlace) {
    InstallMainProgram();
    for (const wchar_t* file : {L"bin\\tool.dll", L"extra\\tool-copy.dll", L"data\\q\\bank.dat", L"data\\notes.txt",
                                L"__oldfiles.lst", L"inst.log"})
        Install(file);
    ASSERT_TRUE(test::WriteFileBytes(shortcut_, "link"));
    const std::string shortcut = "{desktop}\\" + Narrow(name()) + ".lnk";
    Install(
        L"mirefold.xml",
        test::UpdateList("<file path=\"main.cmd\" ver=\"2\"/>\r\n"
                         "<file path=\"bin\\tool.dll\" ver=\"2\" desname=\"bin\\tool.dll;extra\\tool-copy.dll\"/>\r\n"
                         "<file path=\"data\\q\\bank.dat\" ver=\"2\" shortcut=\"" +
                         shortcut + "\"/>\r\n"));

    const test::EngineRun run = Run(L"uninstall");
    // Done: 0, not the number of records read (a host would take that for
    // files to update).
    EXPECT_EQ(run.exitCode, 0) << run.log;
    for (const wchar_t* gone : {L"main.cmd", L"bin", L"extra", L"data\\q", L"mirefold.xml", L"__oldfiles.lst",
                                L"inst.log"})
        EXPECT_FALSE(Exists(gone)) << Narrow(gone);
    EXPECT_TRUE(Exists(L"data\\notes.txt"));
    EXPECT_TRUE(Exists(L"mirefold.ini"));
    EXPECT_FALSE(FileExists(shortcut_));
    EXPECT_FALSE(Exists(L"started.txt"));
}

TEST_F(UninstallRun, WithoutALocalListOnlyTheBookkeepingGoes) {
    InstallMainProgram();
    Install(L"__oldfiles.lst");
    Install(L"inst.log");
    const test::EngineRun run = Run(L"-UNINSTALL");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(Exists(L"main.cmd"));
    EXPECT_TRUE(Exists(L"mirefold.ini"));
    EXPECT_FALSE(Exists(L"__oldfiles.lst"));
    EXPECT_FALSE(Exists(L"inst.log"));
    EXPECT_FALSE(Exists(L"started.txt"));
}

}  // namespace
}  // namespace mf
