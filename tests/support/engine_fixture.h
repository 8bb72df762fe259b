// A fresh process state in use on the test's thread, whose working folder is
// a new temporary folder with a mirefold.ini a test writes. For tests of code
// that reads the configuration, paths or the log; the fixtures of the
// phases build on it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/process_state.h"
#include "support/engine_ini.h"
#include "support/test_support.h"

namespace mf::test {

// The state on its own, for a test without a fixture (or a fixture that
// needs a second engine beside its first).
class FreshEngine {
public:
    FreshEngine();
    ~FreshEngine();
    FreshEngine(const FreshEngine&) = delete;
    FreshEngine& operator=(const FreshEngine&) = delete;

    // Starts over with a new process state on the same folder (the next
    // start of the engine).
    void Restart();
    // Ends the state's use; the folder stays until the object goes.
    void End();

    // Writes mirefold.ini of the working folder (ANSI text as given). What
    // the engine has read of the old one stays cached, as in a running
    // engine.
    bool WriteIni(const std::string& text);
    bool WriteIni(const EngineIni& ini) { return WriteIni(ini.Text()); }
    // Writes it as a new run of the engine finds it: nothing stays cached.
    bool Reconfigure(const EngineIni& ini);

    // The state is the engine's, not part of this object's value.
    ProcessState& state() const { return *state_; }
    [[nodiscard]] const TempFolder& folder() const { return folder_; }
    // A path in the working folder.
    [[nodiscard]] std::wstring Path(const std::wstring& relative) const { return folder_ / relative; }
    // The working folder's file, as bytes ("" when it is missing).
    [[nodiscard]] std::string Read(const std::wstring& relative) const { return ReadFileBytes(Path(relative)); }

private:
    TempFolder folder_;
    std::unique_ptr<ProcessState> state_;
    std::unique_ptr<ScopedProcessState> use_;
};

class EngineFixture : public ::testing::Test {
protected:
    // The state ends before the fixture's folder goes; a fixture whose
    // threads outlive a phase waits for them before calling this.
    void TearDown() override { engine_.End(); }

    void Restart() { engine_.Restart(); }
    void WriteIni(const std::string& text) { ASSERT_TRUE(engine_.WriteIni(text)); }
    void WriteIni(const EngineIni& ini) { WriteIni(ini.Text()); }
    void Reconfigure(const EngineIni& ini) { ASSERT_TRUE(engine_.Reconfigure(ini)); }

    ProcessState& state() const { return engine_.state(); }
    [[nodiscard]] const TempFolder& folder() const { return engine_.folder(); }
    [[nodiscard]] std::wstring InFolder(const std::wstring& relative) const { return engine_.Path(relative); }
    [[nodiscard]] std::string ReadInFolder(const std::wstring& relative) const { return engine_.Read(relative); }

private:
    FreshEngine engine_;
};

}  // namespace mf::test
