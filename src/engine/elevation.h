// Elevated relaunch and the prompt that asks for it.
#pragma once

#include <string>

namespace mf {

// Starts this executable again with the "runas" verb and the stored command
// line followed by the elevation marker; with `saveList` the current update
// list is written to the saved-list file first for the new instance.
void RelaunchElevated(bool saveList);

// Starts this executable again with the working folder as current folder
// ("open" or "runas"); true when it started.
bool StartEngineAgain(const std::wstring& parameters, const wchar_t* verb, int show);

// The elevated instance's side of the hand-over: loads the saved update
// list (status 6 when it holds records) and deletes it. A damaged list is
// dropped whole, so that the run checks again.
void LoadSavedUpdateListForElevatedRun();
// Writes the current update list for the elevated instance.
void SaveUpdateListForElevatedRun(const std::wstring& path);

// The parameters of the elevated instance for a stored command line.
std::wstring ElevatedParameters(const std::wstring& storedCommandLine);

// Asks whether to restart elevated because mirefold.ini cannot be written;
// on Yes relaunches and asks the main window to close.
void PromptElevationForConfig(const std::wstring& iniPath);

}  // namespace mf
