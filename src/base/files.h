// File and folder operations every layer shares, and where the running
// executable and the Windows folder are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mf {

bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
// Creates a folder and every missing parent.
bool CreateFolderTree(const std::wstring& path);

// Moves source to target: deletes the target (up to `attempts` times, `delayMs`
// apart) and then moves (likewise). True when the target exists afterwards.
bool ReplaceFileWithRetry(const std::wstring& source, const std::wstring& target, int attempts = 20,
                          unsigned delayMs = 800);

// Removes a folder with everything in it; true when it is gone (or was
// never there). Junctions and symbolic links inside are removed as links,
// never followed; a folder that is itself a link is refused (false) and
// left as it is.
bool RemoveTree(const std::wstring& folder);

inline constexpr std::uint64_t kWholeFileMax = 0x7FFFFFFF;

// The whole file (up to `maxBytes`, at most 2 GiB); false when it cannot be
// read or is larger.
bool ReadWholeFile(const std::wstring& path, std::string& bytes, std::uint64_t maxBytes = kWholeFileMax);
// Creates or replaces the file with these bytes; true when all were written.
bool WriteWholeFile(const std::wstring& path, std::string_view bytes);
// The size of a file; 0 when it cannot be read.
std::uint64_t FileSize(const std::wstring& path);

// Clears the attributes and deletes; true when deleted.
bool DeleteFileForce(const std::wstring& path);
// Removes whatever is at `path`, so that a file can take its place: a file,
// a folder with all it holds, or a link (the link itself, never what it
// leads to). True when nothing is left there.
bool RemoveAnyEntry(const std::wstring& path);

// Full path of the running executable.
std::wstring ExecutablePath();
// Folder of the running executable, with a trailing backslash.
std::wstring ExecutableFolder();
// The Windows folder, without a trailing backslash.
std::wstring WindowsFolder();

}  // namespace mf
