// Elevated relaunch and the prompt that asks for it.
#pragma once

#include <string>

#include "list/download_list.h"

namespace mf {

// Starts this executable again with the "runas" verb and the stored command
// line followed by the elevation marker; with `saveList` the current update
// list is written to the saved-list file first for the new instance.
void RelaunchElevated(bool saveList);

// Starts this executable again with the working folder as current folder
// ("open" or "runas"); true when it started.
bool StartEngineAgain(const std::wstring& parameters, const wchar_t* verb, int show);

// The elevated instance's side of the hand-over: reads the saved update
// list into `saved` and deletes the file. The file lies in the user's
// temporary folder, where any program of the user can change it: it is taken
// only when its digest is the one on the command line (`expectedDigest`);
// even then its content is only a wish, which the caller checks against a
// list it trusts. False when there was no such list (none, another digest,
// damaged).
bool LoadSavedUpdateListForElevatedRun(const std::wstring& expectedDigest, DownLoadList& saved);
// Writes the current update list for the elevated instance; the digest of
// what was written, or empty when it could not be written.
std::wstring SaveUpdateListForElevatedRun(const std::wstring& path);
// The digest that the hand-over puts on the command line.
std::wstring HandOverDigest(const std::string& savedListBytes);

// The parameters of the elevated instance for a stored command line, and
// the digest of the saved list when one was saved (after the marker, where
// an older engine does not look).
std::wstring ElevatedParameters(const std::wstring& storedCommandLine, const std::wstring& listDigest = {});

// Asks whether to restart elevated because mirefold.ini cannot be written;
// on Yes relaunches and asks the main window to close.
void PromptElevationForConfig(const std::wstring& iniPath);

}  // namespace mf
