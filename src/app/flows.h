// The run-mode flows that start-up hands over to. Each returns nonzero when
// start-up should "continue" (run the message loop) and 0 for "stop".
#pragma once

#include <string>

namespace mf {

int CheckForUpdatesFlow();
int SilentFlow();
int AppEnterFlow();
void RunLauncherWindow();
void ShowUpdateCenter();
void RunUpdateCheckWindowless();
void Uninstall();

// Start-up steps whose Parts come later; each is a named place in the
// start-up sequence.
void ReadMachineIdentifier();
void LaunchMainProgramWithDotNetCheck(bool prompt);
bool RunEmbeddedPackage();
void LoadCachedParameterPackage();
void ShowDotNetPrompt(const wchar_t* version);
void CheckDotNetRequirement();

}  // namespace mf
