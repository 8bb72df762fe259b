// Replies that come too late: the check gives up waiting for them, and what
// they carry must then never reach the state the check goes on with.
#include <windows.h>

#include "base/strings.h"
#include "check/update_check.h"
#include "check_fixture.h"

namespace mf::test {
namespace {

class LateServerReply : public CheckFixture {};

TEST_F(LateServerReply, VersionReplyAfterTheTimeOutIsDropped) {
    // Through nginx's rate-limited path the padded reply takes over a second;
    // TimeOut=1 waits about a tenth of that.
    const std::string padding = "<!--" + std::string(600 * 1024, 'p') + "-->";
    Publish(L"ver.txt", padding + "<ver>9.9</ver><url>" + Narrow(SiteUrl(L"late-list.xml")) + "</url>");
    Reconfigure(CommonIni()
                    .Set(L"Mirefold", L"TimeOut", 1)
                    .Set(L"UPDATEINFO", L"ListURL", site_.LimitedUrl(L"ver.txt"))
                    .Set(L"APPLICATION", L"CheckVerNumber", 1));

    RunUpdateCheck(nullptr);
    EXPECT_EQ(state().updateList.Status(), UpdateStatus::CheckRemoteError);

    // The reply still arrives; the late thread must leave the list alone.
    EXPECT_TRUE(
        WaitUntil([&] { return LogText().find(L"it is dropped.") != std::wstring::npos; }, std::chrono::seconds(30)))
        << Narrow(LogText());
    EXPECT_EQ(state().updateList.versionText, L"");
    EXPECT_TRUE(state().updateList.listUrls.empty());

    // A later query of the same run gets its own answer, not the stale one.
    Publish(L"ver2.txt", "<ver>2.0</ver>");
    Reconfigure(
        CommonIni().Set(L"UPDATEINFO", L"ListURL", SiteUrl(L"ver2.txt")).Set(L"APPLICATION", L"CheckVerNumber", 1));
    RunUpdateCheck(nullptr);
    EXPECT_EQ(state().updateList.Status(), UpdateStatus::CheckRemoteOk);
    EXPECT_EQ(state().updateList.versionText, L"2.0");
    EXPECT_TRUE(state().updateList.listUrls.empty());
}

}  // namespace
}  // namespace mf::test
