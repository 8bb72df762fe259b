// Start-up programs and status events go through the run-file operation:
// a task document named there runs its tasks.
#include <gtest/gtest.h>

#include "base/files.h"
#include "base/strings.h"
#include "support/engine_runner.h"

namespace mf {
namespace {

TEST(TaskDocumentEvents, StartupAndStatusEventsRunTaskDocuments) {
    const std::wstring name = L"E2E_TaskDocumentEvents";
    const std::wstring folder = test::ProductFolder(name);
    RemoveTree(folder);
    ASSERT_TRUE(CreateFolderTree(folder));
    ASSERT_TRUE(test::WriteFileBytes(folder + L"startup.xml", "<t><path name=\"from-startup\"/></t>"));
    ASSERT_TRUE(test::WriteFileBytes(folder + L"none.xml",
                                     "<t><ini file=\"events.ini\" app=\"E\" key=\"None\" value=\"1\"/></t>"));
    const std::string config =
        "[Mirefold]\r\nLog=inst.log\r\n[APPLICATION]\r\nName=" + Narrow(name) +
        "\r\n[UPDATEINFO]\r\nListURL=http://127.0.0.1:9/events/update.xml\r\n"
        "[UpdateEvent]\r\nUpdateStartup=startup.xml\r\n"
        "[UpdateEventWaitClose]\r\nUpdateNone={app}\\none.xml\r\n";
    test::TempFolder scratch;
    const std::wstring exe = scratch / L"mirefold.exe";
    ASSERT_TRUE(test::BrandEngine(config, exe));

    const test::EngineRun run = test::RunEngine(exe, L"emptytemp", name);
    EXPECT_TRUE(FolderExists(folder + L"from-startup")) << run.log;
    wchar_t value[8] = {};
    ::GetPrivateProfileStringW(L"E", L"None", L"", value, 8, (folder + L"events.ini").c_str());
    EXPECT_STREQ(value, L"1") << run.log;
    EXPECT_NE(run.log.find("Create directory["), std::string::npos) << run.log;
    RemoveTree(folder);
}

}  // namespace
}  // namespace mf
