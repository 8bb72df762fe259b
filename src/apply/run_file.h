// Running a file for the engine: a program, started through the shell.
#pragma once

#include <windows.h>

#include <string>

namespace mf {

// Starts a program and waits for it to exit when asked. True when it started.
bool RunFile(const std::wstring& path, const std::wstring& parameters, bool wait, int show = SW_SHOWNORMAL);

}  // namespace mf
