// The application object: start-up, run phase and exit phase of the engine.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "base/handles.h"
#include "engine/command_line.h"
#include "engine/process_state.h"

namespace mf {

class WinsockInit;

enum class StartResult { Continue, Stop };

class UpdateApp {
public:
    UpdateApp(HINSTANCE instance, ProcessState& state);
    ~UpdateApp();
    UpdateApp(const UpdateApp&) = delete;
    UpdateApp& operator=(const UpdateApp&) = delete;

    StartResult InitInstance();
    int Run();
    int ExitInstance();
    [[nodiscard]] int ExitCode();

    // Empties the temporary files of the list (mode "emptytemp").
    static void EmptyTempFiles(ProcessState& state);

private:
    void PrepareWorkFolder();
    void WriteBrowserEmulation();
    void RunStartupPrograms();
    void SelectLanguage();
    StartResult Dispatch(RunMode mode);
    [[nodiscard]] CommandLine ReadCommandLine() const;

    HINSTANCE instance_;
    ProcessState& state_;
    std::optional<ComInit> com_;
    std::unique_ptr<WinsockInit> winsock_;
};

// The working folder for a product: the drive root of the Windows folder +
// "Tarnwick\vdzq\" + folder name + "\" (or "\vdBook\" for a product set).
std::wstring WorkFolderFor(const std::wstring& windowsFolder, const std::wstring& folderName, bool productSet);

// The program's entry: start-up, run, exit; returns the exit code.
int RunUpdateApp(HINSTANCE instance);

}  // namespace mf
