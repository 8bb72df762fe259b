// The install phase's last fallback for the new update list: when neither
// of its names is left in the temporary folder, the list is fetched again
// from the address the check downloaded it from (served by nginx here).
#include <gtest/gtest.h>

#include "apply/install_phase.h"
#include "base/files.h"
#include "base/strings.h"
#include "engine/process_state.h"
#include "support/test_servers.h"
#include "support/test_support.h"

namespace mf {
namespace {

TEST(InstallListRefetch, MissingNewListIsFetchedAgainAndPutInPlace) {
    test::TempFolder folder;
    ProcessState state;
    const ScopedProcessState use(state);
    state.workFolder.Set(folder.path() + L"\\");
    CreateFolderTree(folder / L"tmp");
    ASSERT_TRUE(test::WriteFileBytes(folder / L"mirefold.ini",
                                     Narrow(L"[Mirefold]\r\nLog=install.log\r\nTempPath=" + (folder / L"tmp") +
                                            L"\r\n[UPDATEINFO]\r\nListURL=http://127.0.0.1:9/refetch/update.xml\r\n")));

    const std::string list = "<?xml version=\"1.0\"?>\r\n<update><file path=\"a.dll\" ver=\"3\"/></update>\r\n";
    const std::wstring published = test::WwwPath(L"install-refetch\\update.xml");
    CreateFolderTree(published.substr(0, published.find_last_of(L'\\')));
    ASSERT_TRUE(test::WriteFileBytes(published, list));
    const std::wstring url = test::ServerUrl(L"nginx") + L"install-refetch/update.xml";
    ASSERT_FALSE(url.empty());

    const std::wstring downloaded = state.paths.ListFile();
    state.updateList.listPath = downloaded;
    state.run.listSources.Remember(downloaded, url);
    state.updateList.SetStatus(UpdateStatus::CheckLocalOk);
    ASSERT_TRUE(RunInstallPhase(nullptr));

    EXPECT_EQ(state.updateList.Status(), UpdateStatus::CopyOk);
    EXPECT_EQ(test::ReadFileBytes(folder / L"mirefold.xml"), list);
    EXPECT_FALSE(FileExists(downloaded));
}

}  // namespace
}  // namespace mf
