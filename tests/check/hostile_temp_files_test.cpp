// The parameter package is read at every start from the user's temporary
// folder, where anybody may leave one; the engine usually runs elevated.
// The packages are made by the zip tool (tools/checkservice).
#include "base/strings.h"
#include "check/parameter_package.h"
#include "check_fixture.h"

namespace mf::test {
namespace {

class HostileParameterPackage : public CheckFixture {
protected:
    HostileParameterPackage() {
        Reconfigure(CommonIni()
                        .Set(L"UPDATEINFO", L"ListURL", SiteUrl(L"update.xml"))
                        .Set(L"APPLICATION", L"Application", L"main.exe"));
    }
    void Place(const std::wstring& name) {
        ASSERT_TRUE(::CopyFileW(BuildPath(L"www\\check-fixtures\\package\\hostile\\" + name).c_str(),
                                state().paths.PackageFile().c_str(), FALSE));
    }
};

TEST_F(HostileParameterPackage, DeclaredSizeIsCheckedBeforeItSizesABuffer) {
    struct Case {
        const wchar_t* package;
        const wchar_t* declared;
    } cases[] = {
        {L"declared-huge.bin", L"4294967287"},  // 0xFFFFFFF7 + 10 wraps to a few bytes in 32 bits
        {L"too-large.bin", L"70052"},           // honest, but no package is this large
    };
    for (const Case& c : cases) {
        Restart();
        Reconfigure(CommonIni().Set(L"UPDATEINFO", L"ListURL", SiteUrl(L"update.xml")));
        Place(c.package);
        EXPECT_FALSE(LoadParameterPackage()) << c.package;
        EXPECT_FALSE(CurrentParameterFields().threadCount) << c.package;
        EXPECT_EQ(state().fileConcurrency, kDefaultFileConcurrency) << c.package;
        EXPECT_NE(LogText().find(std::wstring(L"declares ") + c.declared + L" bytes; it is not read."),
                  std::wstring::npos)
            << c.package << "\n"
            << Narrow(LogText());
    }
}

TEST_F(HostileParameterPackage, OnlyTheEnginesOwnFieldsAreTaken) {
    const std::wstring listUrl = SiteUrl(L"update.xml");
    Place(L"config-fields.bin");
    EXPECT_TRUE(LoadParameterPackage());
    // Fields named like configuration cache keys or run-time variables
    // change nothing.
    EXPECT_EQ(ReadConfig(L"UPDATEINFO", L"ListURL"), listUrl);
    EXPECT_EQ(ReadConfig(L"APPLICATION", L"Application"), L"main.exe");
    EXPECT_EQ(state().run.commandLine, L"");
    // The engine's own fields are taken.
    EXPECT_EQ(CurrentParameterFields().threadCount, L"3");
    EXPECT_EQ(state().fileConcurrency, 3);
    EXPECT_TRUE(CurrentParameterFields().FromWebServer());
    const std::wstring log = LogText();
    for (const wchar_t* field : {L"UPDATEINFOListURL", L"APPLICATIONApplication", L"commandline"})
        EXPECT_NE(log.find(std::wstring(L"field [") + field + L"] is not one the engine reads; ignored."),
                  std::wstring::npos)
            << Narrow(log);
}

}  // namespace
}  // namespace mf::test
