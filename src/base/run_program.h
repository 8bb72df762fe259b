// Starting a program through the shell.
#pragma once

#include <windows.h>

#include <string>

namespace mf {

// Starts a program (ShellExecuteEx, "open"); waits for it to exit when asked.
// True when it started.
bool RunProgram(const std::wstring& path, const std::wstring& parameters, bool wait, int show = SW_SHOWNORMAL);
// The same with `folder` as the program's current folder (none when empty).
bool RunProgramIn(const std::wstring& path, const std::wstring& parameters, const std::wstring& folder, bool wait,
                  int show = SW_SHOWNORMAL);

}  // namespace mf
