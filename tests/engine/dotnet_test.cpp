#include <gtest/gtest.h>

#include <map>

#include "base/files.h"
#include "base/strings.h"
#include "engine/dotnet.h"
#include "support/engine_fixture.h"

namespace mf {
namespace {

// A Windows folder of the test's own, with the given framework folders.
class FrameworkFolders {
public:
    explicit FrameworkFolders(std::initializer_list<const wchar_t*> names) {
        const std::wstring framework = windows_.path() + L"\\Microsoft.NET\\Framework";
        CreateFolderTree(framework);
        for (const wchar_t* name : names) CreateFolderTree(framework + L"\\" + name);
    }
    [[nodiscard]] const std::wstring& windows() const { return windows_.path(); }

private:
    test::TempFolder windows_;
};

TEST(DotNet, RequiredVersionFromTheConfiguration) {
    struct Case {
        std::map<std::wstring, std::wstring> mirefold;
        const wchar_t* required;
    };
    const Case cases[] = {
        {{}, L""},
        {{{L"DotNetFix", L"4.5"}}, L"4.5"},
        {{{L"DotNetFx", L"3"}}, L"3"},
        {{{L"DotNetFix", L"2.0"}, {L"DotNetFx", L"4.0"}}, L"2.0"},
        // The version keys win over the flag keys.
        {{{L"DotNetFx", L"v4"}, {L"dotnetfx20", L"1"}}, L"v4"},
        {{{L"dotnetfx35", L"yes"}}, L"3.5"},
        {{{L"dotnetfx40", L"x"}, {L"dotnetfx11", L"0"}}, L"1.1"},  // any non-empty value, first in order
        {{{L"dotnetfx10", L""}, {L"dotnetfx30", L"1"}}, L"3.0"},
    };
    for (const Case& c : cases) {
        const auto read = [&](const std::wstring& key) {
            const auto found = c.mirefold.find(key);
            return found == c.mirefold.end() ? std::wstring() : found->second;
        };
        EXPECT_EQ(RequiredDotNetVersionWith(read), c.required);
    }
}

TEST(DotNet, RequirementAgainstTheFrameworkFolders) {
    const FrameworkFolders folders{L"v2.0.50727", L"v3.5", L"v4.0.30319"};
    InstalledDotNet installed;
    DetectInstalledDotNet(folders.windows(), installed);

    struct Case {
        const wchar_t* required;
        bool met;
    };
    const Case cases[] = {
        {L"", true},     {L"2", true},      {L"2.0", true},   {L"3.5", true},  {L"4", true},
        {L"4.0", true},  {L"1.0", false},   {L"1.1", false},  {L"3", false},   {L"3.0", false},
        {L"4.5", false},  // only a folder beginning with "v4.5" counts
        {L"5.0", true},  {L"v4.5", true},   // texts the rule does not know count as met
    };
    for (const Case& c : cases) EXPECT_EQ(DotNetRequirementMet(c.required, installed), c.met) << Narrow(c.required);

    // Detection only ever adds versions.
    const FrameworkFolders newer{L"v4.5.1"};
    DetectInstalledDotNet(newer.windows(), installed);
    EXPECT_TRUE(DotNetRequirementMet(L"4.5", installed));
    EXPECT_TRUE(DotNetRequirementMet(L"2.0", installed));
}

TEST(DotNet, NoFrameworkFolderAtAll) {
    test::TempFolder windows;
    InstalledDotNet installed;
    DetectInstalledDotNet(windows.path(), installed);
    for (const wchar_t* version : {L"1.0", L"1.1", L"2.0", L"3.0", L"3.5", L"4.0", L"4.5"})
        EXPECT_FALSE(DotNetRequirementMet(version, installed)) << Narrow(version);
    EXPECT_TRUE(DotNetRequirementMet(L"", installed));
}

TEST(DotNet, VersionKeysAndDownloadAddresses) {
    struct Case {
        const wchar_t* version;
        const wchar_t* key;
        const wchar_t* text;
        const wchar_t* address;
    };
    const Case cases[] = {
        {L"2.0", L"20", L"2.0", L"http://update.mirefold.net/dotnetfx/dotnetfx20.exe"},
        {L"4", L"40", L"4.0", L"http://update.mirefold.net/dotnetfx/dotnetfx40.exe"},
        {L"4.5", L"45", L"4.5", L"http://update.mirefold.net/dotnetfx/dotnetfx45.exe"},
        {L"1.1", L"11", L"1.1", L"http://update.mirefold.net/dotnetfx/dotnetfx11.exe"},
        {L"4.5.2", L"45", L"4.5", L"http://update.mirefold.net/dotnetfx/dotnetfx45.exe"},
        {L"5.0", L"50", L"5.0", L""},
        {L"", L"00", L"0.0", L""},
    };
    for (const Case& c : cases) {
        const std::wstring key = DotNetVersionKey(c.version);
        EXPECT_EQ(key, c.key) << Narrow(c.version);
        EXPECT_EQ(DotNetVersionText(key), c.text) << Narrow(c.version);
        EXPECT_EQ(DotNetDownloadAddress(key, L""), c.address) << Narrow(c.version);
    }
    // A configured address replaces the built-in one, and gives one to any key.
    EXPECT_EQ(DotNetDownloadAddress(L"20", L"http://mirror/fx2.exe"), L"http://mirror/fx2.exe");
    EXPECT_EQ(DotNetDownloadAddress(L"50", L"http://mirror/fx5.exe"), L"http://mirror/fx5.exe");
}

class DotNetConfig : public test::EngineFixture {};

TEST_F(DotNetConfig, ConfiguredAddressAndPromptText) {
    WriteIni(test::EngineIni()
                 .Set(L"Mirefold", L"dotnetfix", L"4.5")
                 .Set(L"APPLICATION", L"dotnetfx20", L"http://mirror/fx2.exe"));
    // Keys are matched in any letter case.
    EXPECT_EQ(RequiredDotNetVersion(), L"4.5");
    EXPECT_EQ(DotNetDownloadAddress(L"20"), L"http://mirror/fx2.exe");
    EXPECT_EQ(DotNetDownloadAddress(L"35"), L"http://update.mirefold.net/dotnetfx/dotnetfx35.exe");
    // The vendor's site is a setting of its own.
    WriteIni(test::EngineIni().Set(L"Mirefold", L"DotNetSite", L"http://fx.example.org:8080/"));
    EXPECT_EQ(DotNetDownloadAddress(L"35"), L"http://fx.example.org:8080/dotnetfx/dotnetfx35.exe");
    EXPECT_EQ(DotNetDownloadAddress(L"50"), L"");
    EXPECT_EQ(DotNetDownloadAddress(L"35", L"", L"None"), L"");
    EXPECT_EQ(DotNetDownloadAddress(L"35", L"http://mirror/fx35.exe", L"none"), L"http://mirror/fx35.exe");

    EXPECT_EQ(DotNetPromptMessage(L"3.5"), L"You must install .Net Framework 3.5 to run main application.");
    // The version in the translation is replaced just the same.
    state().language.LoadText(
        L"[MAIN]\r\nYou must install .Net Framework 1.0 to run main application.=Install .NET 1.0 first\r\n");
    EXPECT_EQ(DotNetPromptMessage(L"2.0"), L"Install .NET 2.0 first");
}

}  // namespace
}  // namespace mf
