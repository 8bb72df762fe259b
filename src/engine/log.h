// The log: one time-stamped line per event, appended to the file named by
// "Log" of section "Mirefold" under the named log lock, and passed to the
// windows that follow the update.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "engine/config.h"
#include "engine/work_folder.h"

namespace mf {

// "[%Y-%m-%d %H:%M:%S]" for the given local time.
std::wstring LogTimeStamp(const SYSTEMTIME& localTime);

class Log {
public:
    Log(Config& config, WorkFolder& workFolder) : config_(config), workFolder_(workFolder) {}

    // Receives every line, with the working folder removed, before the file
    // write (the notification windows).
    void SetForwarder(std::function<void(const std::wstring&)> forward) { forward_ = std::move(forward); }

    void Write(const std::wstring& text);

    // Full path of the log file; empty when logging is off.
    [[nodiscard]] std::wstring FilePath();

private:
    Config& config_;
    WorkFolder& workFolder_;
    std::function<void(const std::wstring&)> forward_;
};

}  // namespace mf
