// Whether a file the install phase is about to replace can be written: the
// rule over the file operations it makes, apart from the system's own
// operations, so that every answer of the file system (a sharing violation,
// access denied, a rename that cannot be undone) can be tested.
#pragma once

#include <windows.h>

#include <string>

namespace mf {

// The file operations of the writability test. Each returns ERROR_SUCCESS
// or the system error of the call that failed.
class FileOperations {
public:
    virtual ~FileOperations() = default;
    [[nodiscard]] virtual bool Exists(const std::wstring& path) = 0;
    // Opens an existing file for writing, exclusively (any other open
    // handle would make the replacement fail too), and closes it again.
    virtual DWORD OpenForWriting(const std::wstring& path) = 0;
    virtual DWORD SetNormalAttributes(const std::wstring& path) = 0;
    // Renames without replacing an existing file.
    virtual DWORD Rename(const std::wstring& from, const std::wstring& to) = 0;
    // Clears the attributes and deletes; a missing file is no failure.
    virtual void Delete(const std::wstring& path) = 0;
    // Creates a file that does not exist yet (never one that appeared in
    // the meantime), closes it and deletes it again.
    virtual DWORD CreateAndDelete(const std::wstring& path) = 0;
    virtual void Pause(unsigned milliseconds) = 0;
};

// The system's file operations.
class SystemFileOperations final : public FileOperations {
public:
    bool Exists(const std::wstring& path) override;
    DWORD OpenForWriting(const std::wstring& path) override;
    DWORD SetNormalAttributes(const std::wstring& path) override;
    DWORD Rename(const std::wstring& from, const std::wstring& to) override;
    void Delete(const std::wstring& path) override;
    DWORD CreateAndDelete(const std::wstring& path) override;
    void Pause(unsigned milliseconds) override;
};

// The name a program file is moved aside to while testing it.
inline constexpr wchar_t kProbeSuffix[] = L".__test";
// Renaming a program file back after the test is tried this often.
inline constexpr int kRestoreAttempts = 10;
inline constexpr unsigned kRestoreDelayMs = 100;

struct WriteProbe {
    bool writable = false;
    // The answer came from a write refused with access denied (which does
    // not make a file count as locked).
    bool accessDenied = false;
    // A program file moved aside for the test could not be given its name
    // back: it is now at path + ".__test".
    bool restoreFailed = false;
};

// ".exe" or ".dll" at the end of the name, in any letter case: the name,
// lower-cased and followed by "*#06#", holds ".exe*#06#" or ".dll*#06#" at a
// position after its first character.
[[nodiscard]] bool IsProgramFile(const std::wstring& path);

// The test of one path:
// - an existing file is writable when it opens for writing; a program file
//   that does not is writable when it can be renamed aside and back (a
//   running program's file can be moved aside, which is how the install
//   phase replaces it); any other file gets its attributes cleared and is
//   opened again;
// - a missing file is writable; unless the caller already knows of paths
//   refused with access denied, it is created and deleted to learn whether
//   the folder refuses it.
// A failure with access denied leaves the file writable and says so. A
// program file found only at path + ".__test" (a probe ended half-way) is
// first renamed back.
[[nodiscard]] WriteProbe ProbeWritable(const std::wstring& path, bool deniedPathsKnown, FileOperations& files);

}  // namespace mf
