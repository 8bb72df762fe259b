// The facts of this run: what start-up read from the command line and the
// configuration, set once by the main thread before any worker starts and
// only read afterwards, and a few that the run learns on its way (each says
// who writes it). Lower layers ask these, never the mode text.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "engine/command_line.h"

namespace mf {

// The look of the launcher window in this run.
enum class Skin {
    Configured,  // the configuration's choice
    MostSimple,  // the plain launcher: nobody is asked to close the main program
};

// Whether a run in this mode has nobody to answer a question: scripts and
// hosts start these modes and wait for them to end on their own.
[[nodiscard]] bool IsUnattendedMode(RunMode mode);

// Where each list file of this run was downloaded from, so that the install
// phase can fetch a list again when its file has gone. The check writes it
// on whichever thread downloads the list.
class ListSources {
public:
    void Remember(const std::wstring& listPath, const std::wstring& url);
    // Empty when the file was not downloaded in this run.
    [[nodiscard]] std::wstring UrlOf(const std::wstring& listPath) const;

private:
    mutable std::mutex mutex_;
    std::map<std::wstring, std::wstring> urls_;
};

struct RunFacts {
    RunMode mode = RunMode::Launcher;
    // The stored command line: lower-cased, without quotes and the own path.
    std::wstring commandLine;
    // False in a run whose mode ends on its own (IsUnattendedMode); a host
    // window may still take the answer away (SomebodyCanAnswer).
    bool somebodyCanAnswer = true;
    Skin skin = Skin::Configured;
    HWND hostWindow = nullptr;
    // This instance is the elevated relaunch of another one.
    bool elevatedRelaunch = false;
    // This instance has asked for an elevated relaunch of itself.
    bool elevationRequested = false;
    // The executable's file name without folder and extension.
    std::wstring executableBaseName;
    // Connection attempts per request (Mirefold/ConnectTryCount).
    int connectTryCount = 3;
    // The nine-character machine identifier (empty until computed).
    std::wstring machineIdentifier;

    ListSources listSources;
    // Some response came from the engine's own server kind ("Server:
    // mirefold2.xx"): set by the downloads, read by the update check.
    std::atomic<bool> ownServerKindSeen{false};

    // Sets the mode and what follows from it.
    void SetMode(RunMode runMode) {
        mode = runMode;
        somebodyCanAnswer = !IsUnattendedMode(runMode);
    }
};

}  // namespace mf
