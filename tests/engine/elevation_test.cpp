#include <gtest/gtest.h>

#include <future>

#include "engine/elevation.h"
#include "support/engine_fixture.h"

namespace mf {
namespace {

TEST(Elevation, RelaunchParameters) {
    EXPECT_EQ(ElevatedParameters(L"silence 65758"), L"silence 65758 /___runas_admin___");
    EXPECT_EQ(ElevatedParameters(L""), L"/___runas_admin___");
}

class ElevationPromptTest : public test::EngineFixture {};

TEST_F(ElevationPromptTest, DecliningTheConfigurationPromptChangesNothing) {
    WriteIni("[APPLICATION]\r\nName=Prompt Demo\r\n");
    auto answer = std::async(std::launch::async, [] { return test::AnswerMessageBox(::GetCurrentProcessId(), IDNO); });
    PromptElevationForConfig(L"C:\\Tarnwick\\vdzq\\QB\\mirefold.ini");
    const std::wstring text = answer.get();
    EXPECT_NE(text.find(L"Can't write to file"), std::wstring::npos);
    EXPECT_NE(text.find(L"C:\\Tarnwick\\vdzq\\QB\\mirefold.ini"), std::wstring::npos);
    EXPECT_NE(text.find(L"Restart program now?"), std::wstring::npos);
    EXPECT_EQ(state().variables.Get(L"runasadmin"), L"");
}

TEST_F(ElevationPromptTest, PromptIsTranslated) {
    WriteIni("[APPLICATION]\r\nName=Prompt Demo\r\n");
    state().language.LoadText(
        L"[MAIN]\nCan't write to file\\n%s\\nRequest run as administrator.\\nRestart program now?=无法写入文件\\n%s\\n现在重新启动程序吗？\n");
    auto answer = std::async(std::launch::async, [] { return test::AnswerMessageBox(::GetCurrentProcessId(), IDNO); });
    PromptElevationForConfig(L"C:\\x\\mirefold.ini");
    const std::wstring text = answer.get();
    EXPECT_NE(text.find(L"无法写入文件\nC:\\x\\mirefold.ini\n"), std::wstring::npos);
}

}  // namespace
}  // namespace mf
