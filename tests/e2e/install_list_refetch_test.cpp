// The install phase's last fallback for the new update list: when neither
// of its names is left in the temporary folder, the list is fetched again
// from the address the check downloaded it from (served by nginx here).
#include <gtest/gtest.h>

#include "apply/install_phase.h"
#include "base/files.h"
#include "base/strings.h"
#include "support/engine_fixture.h"
#include "support/engine_runner.h"

namespace mf {
namespace {

class InstallListRefetch : public test::EngineFixture {};

TEST_F(InstallListRefetch, MissingNewListIsFetchedAgainAndPutInPlace) {
    CreateFolderTree(folder() / L"tmp");
    WriteIni(test::EngineIni()
                 .Set(L"Mirefold", L"Log", L"install.log")
                 .Set(L"Mirefold", L"TempPath", folder() / L"tmp")
                 .Set(L"UPDATEINFO", L"ListURL", L"http://127.0.0.1:9/refetch/update.xml"));

    const std::string list = "<?xml version=\"1.0\"?>\r\n<update><file path=\"a.dll\" ver=\"3\"/></update>\r\n";
    const test::ProductSite site(L"install-refetch");
    ASSERT_TRUE(site.Publish(L"update.xml", list));
    const std::wstring url = Widen(site.Url(L"update.xml"));

    const std::wstring downloaded = state().paths.ListFile();
    state().updateList.listPath = downloaded;
    state().run.listSources.Remember(downloaded, url);
    state().updateList.SetStatus(UpdateStatus::CheckLocalOk);
    ASSERT_TRUE(RunInstallPhase(nullptr));

    EXPECT_EQ(state().updateList.Status(), UpdateStatus::CopyOk);
    EXPECT_EQ(test::ReadFileBytes(folder() / L"mirefold.xml"), list);
    EXPECT_FALSE(FileExists(downloaded));
}

}  // namespace
}  // namespace mf
