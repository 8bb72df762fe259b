// The run-mode flows that start-up hands over to. Each returns nonzero when
// start-up should "continue" (run the message loop) and 0 for "stop".
#pragma once

#include <windows.h>

#include <string>

#include "apply/embedded_package.h"

namespace mf {

int CheckForUpdatesFlow();
int SilentFlow();
int AppEnterFlow();
void RunLauncherWindow();
void ShowUpdateCenter();
void RunUpdateCheckWindowless();
void Uninstall();

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
