#include <gtest/gtest.h>

#include "base/strings.h"
#include "engine/config.h"
#include "support/engine_fixture.h"

namespace mf {
namespace {

using test::EngineFixture;
using test::EngineIni;

class ConfigTest : public EngineFixture {};

TEST_F(ConfigTest, ReadsThroughTheCacheWithCaseSensitiveKeys) {
    WriteIni(EngineIni().Set(L"Mirefold", L"Mode", L"Silence").Set(L"Mirefold", L"Log", L"inst.log"));
    EXPECT_EQ(ReadConfig(L"Mirefold", L"Mode"), L"Silence");
    EXPECT_EQ(state().config.Cached(L"Mirefold", L"Mode"), L"Silence");

    // The file changes; the cached key keeps its value, another letter case
    // of the section name is a different cache key and reads the file again.
    WriteIni(EngineIni().Set(L"Mirefold", L"Mode", L"tryicon"));
    EXPECT_EQ(ReadConfig(L"Mirefold", L"Mode"), L"Silence");
    EXPECT_EQ(ReadConfig(L"MIREFOLD", L"Mode"), L"tryicon");
    EXPECT_EQ(state().config.Cached(L"MIREFOLD", L"Mode"), L"tryicon");
}

TEST_F(ConfigTest, EmptyValuesAreReadAgain) {
    WriteIni(EngineIni().Set(L"Mirefold", L"", L""));
    EXPECT_EQ(ReadConfig(L"Mirefold", L"Proxy"), L"");
    WriteIni(EngineIni().Set(L"Mirefold", L"Proxy", L"127.0.0.1:3128"));
    EXPECT_EQ(ReadConfig(L"Mirefold", L"Proxy"), L"127.0.0.1:3128");
}

TEST_F(ConfigTest, DefaultsAndFlags) {
    WriteIni(EngineIni().Lines(L"Mirefold", {L"A= Yes ", L"B=off", L"C=to", L"D=", L"N=42abc"}));
    EXPECT_TRUE(ReadConfigFlag(L"Mirefold", L"A", L"0"));
    EXPECT_FALSE(ReadConfigFlag(L"Mirefold", L"B", L"1"));
    EXPECT_TRUE(ReadConfigFlag(L"Mirefold", L"C", L"0"));
    EXPECT_TRUE(ReadConfigFlag(L"Mirefold", L"D", L"yes"));
    EXPECT_FALSE(ReadConfigFlag(L"Mirefold", L"D", L"0"));
    EXPECT_EQ(ReadConfigOr(L"Mirefold", L"TimeOut", L"150"), L"150");
    EXPECT_EQ(state().config.ReadInt(L"Mirefold", L"N", L"3"), 42);
}

TEST_F(ConfigTest, ValuesAreCutAt999Characters) {
    WriteIni(EngineIni().Set(L"APPLICATION", L"ZQTitle", std::wstring(1500, L'x')));
    EXPECT_EQ(ReadConfig(L"APPLICATION", L"ZQTitle"), std::wstring(999, L'x'));
}

TEST_F(ConfigTest, ReadIniFileReplacesTheCachedValue) {
    WriteIni(EngineIni().Set(L"APPLICATION", L"Name", L"Demo"));
    EXPECT_EQ(ReadConfig(L"APPLICATION", L"Name"), L"Demo");
    const std::wstring other = folder() / L"other.ini";
    EngineIni().Set(L"APPLICATION", L"Name", L"Other").WriteTo(other);
    EXPECT_EQ(ReadIniFile(other, L"APPLICATION", L"Name"), L"Other");
    EXPECT_EQ(ReadConfig(L"APPLICATION", L"Name"), L"Other");
}

TEST_F(ConfigTest, CheckTimeAndListZipLiveInTheTemporaryFolder) {
    test::TempFolder temp;
    WriteIni(EngineIni().Set(L"Mirefold", L"TempPath", temp.path()).Set(L"Mirefold", L"OwerCheckTm", 1));
    EngineIni()
        .Set(L"Mirefold", L"OwerCheckTm", 777)
        .Set(L"Mirefold", L"ListFileZip", 1)
        .WriteTo(temp / L"mirefold.ini");
    EXPECT_EQ(ReadConfig(L"Mirefold", L"OwerCheckTm"), L"777");
    EXPECT_TRUE(ReadConfigFlag(L"Mirefold", L"ListFileZip", L"0"));
    // Written values go to the same file and outlive the working folder's
    // copy.
    WriteConfig(L"Mirefold", L"ListFileZip", L"0");
    EXPECT_FALSE(ReadConfigFlag(L"Mirefold", L"ListFileZip", L"0"));
    EXPECT_EQ(ReadPrivateProfile(temp / L"mirefold.ini", L"Mirefold", L"ListFileZip"), L"0");
    // The section name is compared as written: another case reads the
    // working folder's file.
    EXPECT_EQ(ReadConfig(L"MIREFOLD", L"OwerCheckTm"), L"1");
}

TEST_F(ConfigTest, WriteUpdatesTheCache) {
    WriteIni(EngineIni().Set(L"APPLICATION", L"Ver", L"1.0"));
    WriteConfig(L"APPLICATION", L"Ver", L"2.0");
    EXPECT_EQ(ReadConfig(L"APPLICATION", L"Ver"), L"2.0");
}

TEST_F(ConfigTest, AccessDeniedOnWriteAsksForElevationUnlessElevated) {
    // A folder where the file should be: writing it is denied (error 5) even
    // for an administrator.
    ASSERT_TRUE(::CreateDirectoryW((folder() / L"mirefold.ini").c_str(), nullptr));
    std::wstring asked;
    state().config.SetAccessDeniedHandler([&](const std::wstring& path) { asked = path; });
    WriteConfig(L"APPLICATION", L"Ver", L"2.0");
    EXPECT_EQ(asked, ReduceBackslashes(folder().path() + L"\\mirefold.ini"));

    // The elevated instance does not ask again; the value still reaches the
    // cache.
    asked.clear();
    state().run.elevatedRelaunch = true;
    WriteConfig(L"APPLICATION", L"Ver", L"3.0");
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(ReadConfig(L"APPLICATION", L"Ver"), L"3.0");
}

TEST(EmbeddedConfig, LookUpRules) {
    const std::wstring text =
        L"[Mirefold]\r\nMode=AppEnterNoPrompt\r\nLog=inst.log\r\n"
        L"[APPLICATION]\r\nAgentName=agent.example\r\nName=QBDemo\r\nZQTitle=Title\r\n"
        L"[LF]\nKey=value\nLast=end";
    struct Case { const wchar_t* section; const wchar_t* key; const wchar_t* value; };
    const Case cases[] = {
        {L"Mirefold", L"Mode", L"AppEnterNoPrompt"},
        {L"Mirefold", L"Log", L"inst.log"},
        // "Name" is found first inside "AgentName".
        {L"APPLICATION", L"Name", L"agent.example"},
        {L"APPLICATION", L"ZQTitle", L"Title"},
        // Not stopped by the next section.
        {L"Mirefold", L"ZQTitle", L"Title"},
        // A LF-only line keeps its last character; the last line runs to the end.
        {L"LF", L"Key", L"value"},
        {L"LF", L"Last", L"end"},
        {L"Missing", L"Mode", L""},
        {L"Mirefold", L"Nothing", L""},
        {L"mirefold", L"Mode", L""},  // section names match exactly
    };
    for (const Case& c : cases)
        EXPECT_EQ(LookUpEmbedded(text, c.section, c.key), c.value) << c.section << L"/" << c.key;
    EXPECT_EQ(LookUpEmbedded(L"", L"Mirefold", L"Mode"), L"");
}

TEST(CompanionFiles, SetFileWinsEvenWhenEmpty) {
    test::TempFolder root;
    const std::wstring exeFolder = root / L"bin";
    ::CreateDirectoryW(exeFolder.c_str(), nullptr);
    const CompanionFiles files = CompanionFiles::ForExecutableFolder(exeFolder + L"\\");
    EXPECT_FALSE(files.HasKc());
    EXPECT_EQ(files.Read(L"Code"), L"");
    EngineIni()
        .Set(L"APPLICATION", L"Code", L"KC1")
        .Set(L"APPLICATION", L"XA", L"kc-xa")
        .WriteTo(root / L"QuorvilKC.ini");
    EXPECT_EQ(files.Read(L"Code"), L"KC1");
    EngineIni().Set(L"APPLICATION", L"Code", L"SET1").WriteTo(root / L"QuorvilSet.ini");
    EXPECT_TRUE(files.HasSet());
    EXPECT_EQ(files.Read(L"Code"), L"SET1");
    EXPECT_EQ(files.Read(L"XA"), L"");
}

}  // namespace
}  // namespace mf
