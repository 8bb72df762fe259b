// The process-wide state of the engine in one object. The program owns one
// instance; a test creates its own and makes it current with
// ScopedProcessState, so that no test sees what another left behind.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>

#include "base/named_lock.h"
#include "engine/config.h"
#include "engine/dotnet.h"
#include "engine/download_limits.h"
#include "engine/language.h"
#include "engine/log.h"
#include "engine/paths.h"
#include "engine/process_wide.h"
#include "engine/run_facts.h"
#include "engine/work_folder.h"
#include "host/notification_windows.h"
#include "list/download_list.h"

namespace mf {

struct ProcessState {
    ProcessState();
    ProcessState(const ProcessState&) = delete;
    ProcessState& operator=(const ProcessState&) = delete;

    NamedLockTable locks;
    RunFacts run;
    WorkFolder workFolder;
    Config config{workFolder, run};
    Paths paths{config, workFolder};
    Language language;
    NotificationWindows notifications;
    Log log{config, workFolder};
    DownLoadList updateList;

    // The version the check announced (empty when none).
    std::wstring announcedVersion;
    // Set by a window that ends the run itself: start-up then runs no
    // message loop of its own.
    int skipLoop = 0;
    // The .NET versions found so far (detection only ever adds).
    InstalledDotNet installedDotNet;

    // Download limits: files at the same time and connections per file (the
    // parameter package may change them).
    int fileConcurrency = kDefaultFileConcurrency;
    int fileConnections = kDefaultFileConnections;
    // The product list path once the quick check has chosen the previous
    // download; empty: the temporary folder's list file.
    std::wstring rememberedListPath;
    HWND mainWindow = nullptr;  // the engine's main window, when one is open

    // Starts a program for a status event; start-up replaces it with the
    // run-file operation that also executes task documents.
    std::function<bool(const std::wstring& path, const std::wstring& parameters, bool wait)> runFile;

    // The process-wide state of a layer above this one (a type marked
    // ProcessWide where it is declared), made on first use and gone with
    // this object, so that every test starts from nothing.
    template <ProcessWideState T>
    T& Shared() {
        std::lock_guard guard(sharedMutex_);
        std::shared_ptr<void>& slot = shared_[std::type_index(typeid(T))];
        if (!slot) slot = std::make_shared<T>();
        return *static_cast<T*>(slot.get());
    }

private:
    std::mutex sharedMutex_;
    std::map<std::type_index, std::shared_ptr<void>> shared_;
};

// The current process state.
ProcessState& Process();

class ScopedProcessState {
public:
    explicit ScopedProcessState(ProcessState& state);
    ~ScopedProcessState();
    ScopedProcessState(const ScopedProcessState&) = delete;
    ScopedProcessState& operator=(const ScopedProcessState&) = delete;

private:
    ProcessState* previous_;
};

// Shorthands on the current process state.
std::wstring ReadConfig(const std::wstring& section, const std::wstring& key);
std::wstring ReadConfigOr(const std::wstring& section, const std::wstring& key, const std::wstring& fallback);
bool ReadConfigFlag(const std::wstring& section, const std::wstring& key, const std::wstring& fallback);
std::wstring ReadIniFile(const std::wstring& path, const std::wstring& section, const std::wstring& key);
void WriteConfig(const std::wstring& section, const std::wstring& key, const std::wstring& value);
std::wstring ReadEmbeddedConfig(const std::wstring& section, const std::wstring& key);
std::wstring GetWorkFolder();
void SetWorkFolder(const std::wstring& path);
void WriteLog(const std::wstring& text);
// Translation in section "MAIN".
std::wstring Translate(const std::wstring& text);
std::wstring Translate(const std::wstring& section, const std::wstring& text);

}  // namespace mf

#include "base/text_format.h"

namespace mf {

// Translates an English format text in section "MAIN" and formats it; the
// English text is used when the translation's placeholders differ.
template <class... Args>
std::wstring TranslateFormat(const std::wstring& english, const Args&... args) {
    return FormatTranslated(english, Translate(english), args...);
}

}  // namespace mf
