// A fresh process state whose working folder is a new temporary folder, with
// a mirefold.ini written from the given text. For tests of code that reads
// the configuration, paths or the log.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/process_state.h"
#include "support/engine_ini.h"
#include "support/test_support.h"

namespace mf::test {

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override {
        state_ = std::make_unique<ProcessState>();
        use_ = std::make_unique<ScopedProcessState>(*state_);
        state_->workFolder.Set(folder_.path() + L"\\");
    }
    void TearDown() override {
        use_.reset();
        state_.reset();
    }

    // Writes mirefold.ini of the working folder (ANSI text as given).
    void WriteIni(const std::string& text) { WriteFileBytes(folder_ / L"mirefold.ini", text); }
    void WriteIni(const EngineIni& ini) { WriteIni(ini.Text()); }

    ProcessState& state() { return *state_; }
    const TempFolder& folder() const { return folder_; }

private:
    TempFolder folder_;
    std::unique_ptr<ProcessState> state_;
    std::unique_ptr<ScopedProcessState> use_;
};

}  // namespace mf::test
