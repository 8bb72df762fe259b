// Start-up programs and status events go through the run-file operation:
// a task document named there runs its tasks.
#include <gtest/gtest.h>

#include "base/files.h"
#include "base/strings.h"
#include "support/end_to_end.h"

namespace mf {
namespace {

class TaskDocumentEvents : public test::EndToEndTest {
protected:
    TaskDocumentEvents() : EndToEndTest(L"events-e2e") {}
};

TEST_F(TaskDocumentEvents, StartupAndStatusEventsRunTaskDocuments) {
    const std::wstring folder = Folder();
    ASSERT_TRUE(CreateFolderTree(folder));
    ASSERT_TRUE(test::WriteFileBytes(folder + L"startup.xml", "<t><path name=\"from-startup\"/></t>"));
    ASSERT_TRUE(test::WriteFileBytes(folder + L"none.xml",
                                     "<t><ini file=\"events.ini\" app=\"E\" key=\"None\" value=\"1\"/></t>"));
    test::EngineIni ini = OfflineIni();
    ini.Remove(L"Mirefold", L"Mode").Remove(L"APPLICATION", L"Application");
    ini.Set(L"UpdateEvent", L"UpdateStartup", L"startup.xml");
    ini.Set(L"UpdateEventWaitClose", L"UpdateNone", L"{app}\\none.xml");
    Brand(ini);

    const test::EngineRun run = Run(L"emptytemp");
    EXPECT_TRUE(FolderExists(folder + L"from-startup")) << run.log;
    wchar_t value[8] = {};
    ::GetPrivateProfileStringW(L"E", L"None", L"", value, 8, (folder + L"events.ini").c_str());
    EXPECT_STREQ(value, L"1") << run.log;
    EXPECT_NE(run.log.find("Create directory["), std::string::npos) << run.log;
}

}  // namespace
}  // namespace mf
