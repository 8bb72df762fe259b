#include "support/engine_fixture.h"

namespace mf::test {

FreshEngine::FreshEngine() {
    Restart();
}

FreshEngine::~FreshEngine() {
    End();
}

void FreshEngine::Restart() {
    End();
    state_ = std::make_unique<ProcessState>();
    use_ = std::make_unique<ScopedProcessState>(*state_);
    state_->workFolder.Set(folder_.path() + L"\\");
}

void FreshEngine::End() {
    use_.reset();
    state_.reset();
}

bool FreshEngine::WriteIni(const std::string& text) {
    return WriteFileBytes(Path(L"mirefold.ini"), text);
}

bool FreshEngine::Reconfigure(const EngineIni& ini) {
    const bool written = WriteIni(ini);
    state_->config.ClearCache();
    return written;
}

}  // namespace mf::test
