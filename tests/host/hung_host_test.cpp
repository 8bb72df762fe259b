// A host window that stops processing messages must not hold the update:
// the engine's sends time out, and the hung window is skipped from then on.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "base/strings.h"
#include "engine/process_state.h"
#include "engine/status.h"
#include "host/host_protocol.h"
#include "support/engine_fixture.h"
#include "support/test_host.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::wstring>;

class HungHost : public test::EngineFixture {
protected:
    HungHost() { WriteIni(test::EngineIni().Set(L"Mirefold", L"Log", L"run.log")); }
};

TEST_F(HungHost, SkippedAfterOneTimeOutAndTheUpdateGoesOn) {
    // The host hangs for far longer than any send may wait, in its handler
    // of the first status message.
    test::TestHost hung(L"--stall-on-status 60000");
    test::TestHost healthy;
    ASSERT_NE(hung.window(), nullptr);
    state().notifications.Register(hung.window());
    state().notifications.Register(healthy.window());
    updatefileinfo record;
    record.path = L"a.dll";
    state().updateList.Add(record);

    const auto start = std::chrono::steady_clock::now();
    SetStatus(UpdateStatus::CheckRemote);
    SetStatus(UpdateStatus::CheckRemoteOk);
    state().notifications.SendTextLine(L"a line");
    state().notifications.SendFileCount(1, 1);
    state().notifications.SendDescription(L"about");
    state().notifications.SendByteProgress(10, 5);
    state().notifications.SendStatusText(hung.window(), L"status text");
    SetStatus(UpdateStatus::End);
    const auto took = std::chrono::steady_clock::now() - start;

    // One time-out (5 s) at most, not the host's 60 s, nor one per message.
    EXPECT_LT(took, 30s);
    EXPECT_EQ(state().updateList.Status(), UpdateStatus::End);
    // The hung host got the message it hangs in, and its properties still
    // follow the run.
    EXPECT_EQ(hung.Lines(), Lines{L"status 1 1"});
    EXPECT_EQ(hung.Property(host::kStatusProperty), 13);
    // The other window was not held up and got everything.
    EXPECT_EQ(healthy.Lines(L"status"), (Lines{L"status 1 1", L"status 3 1", L"status 13 1"}));
    const Lines texts = healthy.Lines(L"text");
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"text a line"), texts.end());
    EXPECT_EQ(healthy.Lines(L"bytes"), Lines{L"bytes 10 5"});
    const std::string log = ReadInFolder(L"run.log");
    EXPECT_NE(log.find("does not answer its messages in time; it gets no more of them."), std::string::npos) << log;
    hung.Kill();
}

}  // namespace
}  // namespace mf
