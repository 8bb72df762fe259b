// File and folder operations every layer shares, and where the running
// executable and the Windows folder are.
#pragma once

#include <string>

namespace mf {

bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
// Creates a folder and every missing parent.
bool CreateFolderTree(const std::wstring& path);

// Moves source to target: deletes the target (up to `attempts` times, `delayMs`
// apart) and then moves (likewise). True when the target exists afterwards.
bool ReplaceFileWithRetry(const std::wstring& source, const std::wstring& target, int attempts = 20,
                          unsigned delayMs = 800);

// Removes a folder with everything in it; failures are ignored.
void RemoveTree(const std::wstring& folder);

// Clears the attributes and deletes; true when deleted.
bool DeleteFileForce(const std::wstring& path);

// Full path of the running executable.
std::wstring ExecutablePath();
// Folder of the running executable, with a trailing backslash.
std::wstring ExecutableFolder();
// The Windows folder, without a trailing backslash.
std::wstring WindowsFolder();

}  // namespace mf
