// The application object: start-up, run phase and exit phase of the engine.
#pragma once

#include <windows.h>

#include <string>

#include "app/process_state.h"

namespace mf {

enum class StartResult { Continue, Stop };

class UpdateApp {
public:
    UpdateApp(HINSTANCE instance, ProcessState& state) : instance_(instance), state_(state) {}

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
    StartResult Dispatch(const std::wstring& mode);

    HINSTANCE instance_;
    ProcessState& state_;
};

// The working folder for a product: the drive root of the Windows folder +
// "Tarnwick\vdzq\" + folder name + "\" (or "\vdBook\" for a product set).
std::wstring WorkFolderFor(const std::wstring& windowsFolder, const std::wstring& folderName, bool productSet);

// The program's entry: start-up, run, exit; returns the exit code.
int RunUpdateApp(HINSTANCE instance);

}  // namespace mf
