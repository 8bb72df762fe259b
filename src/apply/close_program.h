// Finding and closing the programs that run from a path. A program is found
// by the path of its executable (the first module of its process); it is
// closed the way the system closes programs at shut-down: asked whether its
// session may end, then told to close and quit, and terminated when it has
// not ended within 5 seconds.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace mf {

// How long a window may take to answer whether its session may end.
inline constexpr UINT kQueryEndSessionTimeoutMs = 100;
// How long a program that agreed to close may take to end.
inline constexpr DWORD kProgramExitWaitMs = 5000;

// Whether a module path names the program: the lower-cased path holds the
// lower-cased text. An empty text names nothing (it would name every
// program on the machine).
[[nodiscard]] bool ModulePathNames(const std::wstring& modulePath, const std::wstring& program);

struct RunningProgram {
    DWORD processId = 0;
    std::wstring modulePath;
};

// The processes whose executable path names the program, in the system's
// order. This process is never among them, nor is a process that cannot be
// opened or yields no module.
std::vector<RunningProgram> FindRunningPrograms(const std::wstring& program);

// Closes every running program that the path names (see above): each of
// its visible top-level windows without a parent, other than the engine's
// own main window, is asked with WM_QUERYENDSESSION (100 ms, and not at all
// when its thread hangs); a window that refuses or does not answer is left
// alone. Reports nothing: the locked-file test that follows finds out
// whether its files are free.
void CloseProgramByPath(const std::wstring& path);

}  // namespace mf
