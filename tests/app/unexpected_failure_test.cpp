// An exception that nothing below handled must not end the engine as if it
// had found nothing to update.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "app/update_app.h"
#include "support/engine_fixture.h"

namespace mf {
namespace {

class UnexpectedFailure : public test::EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        WriteIni(test::EngineIni().Set(L"Mirefold", L"Log", L"run.log"));
    }
    std::string Log() const { return test::ReadFileBytes(folder() / L"run.log"); }
};

TEST_F(UnexpectedFailure, EscapingExceptionGivesItsOwnCodeStatusAndLogLine) {
    struct Case {
        const char* name;
        std::function<int()> run;
        const char* logged;
    } cases[] = {
        {"standard exception", []() -> int { throw std::runtime_error("list walk failed"); }, "list walk failed"},
        {"out of memory", []() -> int { throw std::bad_alloc(); }, "The engine stopped on an unexpected error"},
        {"anything else", []() -> int { throw 42; }, "(not a standard exception)"},
    };
    for (const Case& c : cases) {
        state().updateList.SetStatus(UpdateStatus::Download);
        const int code = RunGuarded(c.run);
        EXPECT_EQ(code, kExitUnexpectedFailure) << c.name;
        EXPECT_EQ(static_cast<unsigned>(code), 0xFFFFFFFFu) << c.name;
        EXPECT_EQ(state().updateList.Status(), UpdateStatus::End) << c.name;
        EXPECT_NE(Log().find(c.logged), std::string::npos) << c.name << "\n" << Log();
    }
    EXPECT_NE(Log().find("(exit code -1)"), std::string::npos) << Log();
}

TEST_F(UnexpectedFailure, OrdinaryRunKeepsItsCode) {
    EXPECT_EQ(RunGuarded([] { return 3; }), 3);
    EXPECT_EQ(RunGuarded([] { return 0; }), 0);
    EXPECT_EQ(Log().find("unexpected error"), std::string::npos);
}

TEST(ExitCodes, NoCountCanTakeTheFailureCodes) {
    for (int code : {kExitUnexpectedFailure, kExitProductBusy}) {
        EXPECT_LT(code, 0);
        EXPECT_NE(code, ComputeExitCode(0, L"", L""));
        EXPECT_NE(code, ComputeExitCode(0, L"2.0", L"1.0"));
    }
    EXPECT_NE(kExitUnexpectedFailure, kExitProductBusy);
}

}  // namespace
}  // namespace mf
