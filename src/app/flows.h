// The run-mode flows that start-up hands over to. Each tells start-up
// whether to continue (run the message loop) or stop; the exit code is
// computed apart from that.
#pragma once

#include <windows.h>

#include <string>

#include "apply/embedded_package.h"
#include "apply/uninstall.h"
#include "engine/command_line.h"

namespace mf {

enum class StartResult { Continue, Stop };

// "checkforupdates": the check, then status 13; continues when it found files
// or an announced version (the exit code then reports them).
StartResult CheckForUpdatesFlow();
// "silence": a whole update without a window (check, download with its
// retries, local check, elevated hand-over, install), with the host's pause
// and stop checks between the phases; every path but the hand-over ends
// with status 13 and the main program started. Continues.
StartResult SilentFlow();
// "appenter" / "appenternoprompt": the check, the question (not for
// "appenternoprompt"), then the update or the main program.
StartResult AppEnterFlow(RunMode mode);
// The whole update with a window as owner: check (again after a version
// reply), download with retries, local check, install; WM_COMMAND 4323 and
// 4380 to the owner. One worker runs at a time: while the running worker's
// window exists, another start returns 0 at once; when that window has gone,
// the new worker waits for it to end (as does a check worker), then carries
// on from the status it left, reporting to its own owner, and returns 1. An
// exception leaves the way free for the next worker.
int UpdateWorker(HWND owner);
// Thread entry for UpdateWorker; the parameter is the owner window.
DWORD WINAPI UpdateWorkerThread(void* owner);
// The check and enter forms' worker: the update check when none has run,
// then WM_COMMAND 4380 to the owner window (the parameter). It takes its
// turn with the update workers.
DWORD WINAPI CheckWorkerThread(void* owner);
// Shows the launcher window in its plain form (its worker updates, and in
// the computer variant starts the main program); then the check-time
// bookkeeping.
void RunLauncherWindow();
void ShowUpdateCenter();
void RunUpdateCheckWindowless();
// The check without a window, then, when a version reply named lists, the
// check against those lists.
void RunWholeCheckWindowless();
// The uninstall; its outcome decides the run's exit code.
UninstallOutcome Uninstall();

// Start-up steps; each is a named place in the start-up sequence.
void ReadMachineIdentifier();
// Starts the main program in the working folder unless the .NET version it
// needs is missing; then, with `prompt`, asks for that version.
void LaunchMainProgramWithDotNetCheck(bool prompt);
// Takes over the package appended to this executable: its files become
// pending files and its list the update list. Start-up goes on whatever the
// outcome; a damaged package is reported once the language is loaded.
PackageOutcome RunEmbeddedPackage();
void ReportDamagedPackage();
// The run goes on with the package's release as if a check had found it:
// its messages to the host windows, status 3 with the count.
void AnnounceEmbeddedRelease();
void LoadCachedParameterPackage();
// Tells the user that the main program needs the given .NET version.
void ShowDotNetPrompt(HWND owner, const std::wstring& version);
// Prompts (without an owner) when the configured .NET version is missing.
void CheckDotNetRequirement();

}  // namespace mf
