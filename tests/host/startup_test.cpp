#include <gtest/gtest.h>

#include <sstream>

#include "host/host_protocol.h"
#include "support/test_host.h"

namespace mf {
namespace {

// The engine registers the host window named on its command line and tells
// it "UpdateNone" once, before the run mode takes over.
TEST(EngineStartup, HostWindowOnTheCommandLineGetsUpdateNoneOnce) {
    test::TestHost host;
    ASSERT_NE(host.window(), nullptr);
    std::wstringstream line;
    line << L"\"" << test::BuildPath(L"bin\\mirefold.exe") << L"\" -emptytemp "
         << reinterpret_cast<UINT_PTR>(host.window());
    EXPECT_EQ(test::RunAndWait(line.str(), std::chrono::seconds(60)), 0);
    EXPECT_EQ(host.Lines(L"status"), (std::vector<std::wstring>{L"status 0 0"}));
    EXPECT_EQ(static_cast<int>(reinterpret_cast<INT_PTR>(::GetPropW(host.window(), host::kStatusProperty))), 0);
    EXPECT_EQ(static_cast<int>(reinterpret_cast<INT_PTR>(::GetPropW(host.window(), host::kFileCountProperty))), 0);
}

}  // namespace
}  // namespace mf
