// The application object: start-up, run phase and exit phase of the engine.
//
// Exit codes. A host reads the code as the number of files found
// (ComputeExitCode: the count, 2147483647 for an announced newer version,
// 0 for nothing to update). Runs that did not get that far say so with
// codes no count can take:
//   -1 (0xFFFFFFFF)  kExitUnexpectedFailure: the run failed on an error
//                    nothing handled (an exception); it was logged and
//                    status 13 "UpdateEnd" was sent.
//   -2 (0xFFFFFFFE)  kExitProductBusy: another engine runs for the same
//                    product (working folder) and did not end within
//                    kProductGuardWaitMs; this one did nothing but log it.
//   -3 (0xFFFFFFFD)  kExitUninstallIncomplete: "uninstall" could not
//                    remove every file or shortcut it should; the log
//                    names them. A complete uninstall (or one handed to
//                    the elevated instance) exits with 0, never with the
//                    number of records it read.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/flows.h"
#include "base/handles.h"
#include "engine/command_line.h"
#include "engine/process_state.h"
#include "engine/product_guard.h"

namespace mf {

inline constexpr int kExitUnexpectedFailure = -1;
inline constexpr int kExitProductBusy = -2;
inline constexpr int kExitUninstallIncomplete = -3;

class WinsockInit;

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
    // False when another engine runs for this product (the run then ends).
    bool TakeProductGuard();
    StartResult Dispatch(RunMode mode);
    [[nodiscard]] CommandLine ReadCommandLine() const;

    HINSTANCE instance_;
    ProcessState& state_;
    std::optional<ComInit> com_;
    std::unique_ptr<WinsockInit> winsock_;
    ProductGuard guard_;
    std::optional<int> exitCode_;  // a code of its own instead of the count
};

// The working folder for a product: the drive root of the Windows folder +
// "Tarnwick\vdzq\" + folder name + "\" (or "\vdBook\" for a product set).
std::wstring WorkFolderFor(const std::wstring& windowsFolder, const std::wstring& folderName, bool productSet);

// Runs one engine run and returns its exit code. An exception that escapes
// the run is logged, the update ends with status 13 "UpdateEnd", and the
// code is kExitUnexpectedFailure: never 0, which a host would read as
// "nothing to update".
int RunGuarded(const std::function<int()>& run) noexcept;

// The program's entry: start-up, run, exit; returns the exit code.
int RunUpdateApp(HINSTANCE instance);

}  // namespace mf
