#include "engine/process_state.h"

#include "base/run_program.h"
#include "base/text_format.h"
#include "zip/unzip.h"

namespace mf {

namespace {
ProcessState* g_current = nullptr;
}  // namespace

ProcessState::ProcessState()
    : runFile([](const std::wstring& path, const std::wstring& parameters, bool wait) {
          return RunProgram(path, parameters, wait);
      }) {
    ResetLastZipResult();
    config.SetTempFolderSource([this] { return paths.TempFolder(); });
    log.SetForwarder([this](const std::wstring& line) { notifications.SendTextLine(line); });
    notifications.SetWorkFolderSource([this] { return workFolder.Get(); });
    notifications.SetUnresponsiveHandler([this](HWND window) {
        const auto handle = static_cast<unsigned>(reinterpret_cast<UINT_PTR>(window));
        log.Write(
            ::IsWindow(window)
                ? Format(L"The window [%u] does not answer its messages in time; it gets no more of them.", handle)
                : Format(L"The window [%u] is gone; it gets no more messages.", handle));
    });
}

ProcessState& Process() {
    if (g_current == nullptr) {
        // The program's own instance, created on first use and kept for the
        // life of the process.
        static ProcessState* programState = new ProcessState();
        g_current = programState;
        NamedLockTable::MakeCurrent(&programState->locks);
    }
    return *g_current;
}

ScopedProcessState::ScopedProcessState(ProcessState& state) : previous_(g_current) {
    g_current = &state;
    NamedLockTable::MakeCurrent(&state.locks);
}

ScopedProcessState::~ScopedProcessState() {
    g_current = previous_;
    NamedLockTable::MakeCurrent(previous_ != nullptr ? &previous_->locks : nullptr);
}

std::wstring ReadConfig(const std::wstring& section, const std::wstring& key) {
    return Process().config.Read(section, key);
}
std::wstring ReadConfigOr(const std::wstring& section, const std::wstring& key, const std::wstring& fallback) {
    return Process().config.ReadOr(section, key, fallback);
}
bool ReadConfigFlag(const std::wstring& section, const std::wstring& key, const std::wstring& fallback) {
    return Process().config.ReadFlag(section, key, fallback);
}
std::wstring ReadIniFile(const std::wstring& path, const std::wstring& section, const std::wstring& key) {
    return Process().config.ReadIniFile(path, section, key);
}
void WriteConfig(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    Process().config.Write(section, key, value);
}
std::wstring ReadEmbeddedConfig(const std::wstring& section, const std::wstring& key) {
    return Process().config.ReadEmbedded(section, key);
}
std::wstring GetWorkFolder() { return Process().workFolder.Get(); }
void SetWorkFolder(const std::wstring& path) { Process().workFolder.Set(path); }
void WriteLog(const std::wstring& text) { Process().log.Write(text); }
std::wstring Translate(const std::wstring& text) { return Process().language.Translate(L"MAIN", text); }
std::wstring Translate(const std::wstring& section, const std::wstring& text) {
    return Process().language.Translate(section, text);
}

}  // namespace mf
