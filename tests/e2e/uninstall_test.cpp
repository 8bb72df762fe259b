// "uninstall" with the real engine: the installed release goes, the
// configuration stays, and the main program in place does not stop it.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "base/files.h"
#include "base/strings.h"
#include "support/engine_runner.h"

namespace mf {
namespace {

class UninstallRun : public ::testing::Test {
protected:
    void SetUp() override {
        name_ = L"E2E_" + Widen(::testing::UnitTest::GetInstance()->current_test_info()->name());
        exe_ = folder_ / L"mirefold.exe";
        RemoveTree(Folder());
        wchar_t desktop[MAX_PATH + 1] = {};
        ASSERT_EQ(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop), S_OK);
        shortcut_ = std::wstring(desktop) + L"\\" + name_ + L".lnk";
        const std::string config =
            "[Mirefold]\r\nLog=inst.log\r\nMode=emptytemp\r\n[APPLICATION]\r\nName=" + Narrow(name_) +
            "\r\nApplication=main.cmd\r\n[UPDATEINFO]\r\nListURL=http://127.0.0.1:9/" + Narrow(name_) +
            "/update.xml\r\n";
        ASSERT_TRUE(test::BrandEngine(config, exe_));
    }
    void TearDown() override {
        RemoveTree(Folder());
        ::DeleteFileW(shortcut_.c_str());
    }

    std::wstring Folder() const { return test::ProductFolder(name_); }
    void Install(const std::wstring& relative, const std::string& bytes = "installed") {
        const std::wstring path = Folder() + relative;
        ASSERT_TRUE(CreateFolderTree(path.substr(0, path.find_last_of(L'\\'))));
        ASSERT_TRUE(test::WriteFileBytes(path, bytes));
    }
    // The main program leaves a mark when it is started.
    void InstallMainProgram() {
        Install(L"main.cmd", "@echo started> \"" + Narrow(Folder()) + "started.txt\"\r\n");
    }
    bool Exists(const std::wstring& relative) const {
        return ::GetFileAttributesW((Folder() + relative).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    test::TempFolder folder_;
    std::wstring name_, exe_, shortcut_;
};

TEST_F(UninstallRun, RemovesTheInstalledReleaseWithTheMainProgramInPlace) {
    InstallMainProgram();
    for (const wchar_t* file : {L"bin\\tool.dll", L"extra\\tool-copy.dll", L"data\\q\\bank.dat", L"data\\notes.txt",
                                L"__oldfiles.lst", L"inst.log"})
        Install(file);
    ASSERT_TRUE(test::WriteFileBytes(shortcut_, "link"));
    Install(L"mirefold.xml",
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update>\r\n<file path=\"main.cmd\" ver=\"2\"/>\r\n"
            "<file path=\"bin\\tool.dll\" ver=\"2\" desname=\"bin\\tool.dll;extra\\tool-copy.dll\"/>\r\n"
            "<file path=\"data\\q\\bank.dat\" ver=\"2\" shortcut=\"{desktop}\\" + Narrow(name_) + ".lnk\"/>\r\n"
            "</update>\r\n");

    const test::EngineRun run = test::RunEngine(exe_, L"uninstall", name_);
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
    const test::EngineRun run = test::RunEngine(exe_, L"-UNINSTALL", name_);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(Exists(L"main.cmd"));
    EXPECT_TRUE(Exists(L"mirefold.ini"));
    EXPECT_FALSE(Exists(L"__oldfiles.lst"));
    EXPECT_FALSE(Exists(L"inst.log"));
    EXPECT_FALSE(Exists(L"started.txt"));
}

}  // namespace
}  // namespace mf
