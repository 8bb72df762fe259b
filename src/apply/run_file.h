// The run-file operation of the engine: a program started through the shell,
// or, for a file whose name ends in ".xml", the upgrade tasks written in it.
// Start-up programs, status events, the install phase and task documents all
// start files through it.
#pragma once

#include <windows.h>

#include <string>

namespace mf {

struct TaskContext;

// Runs `file` (path macros expanded, a relative path taken in the
// installation folder). A task document runs its tasks (RunTaskDocument).
// A program is started with the parameters in `folder` (its own folder when
// empty), after "Run file[name]" ("[parameters]" added when there are some)
// has been shown to the owner window (with `value`) and logged; with `wait`
// the call returns when the program has ended. A missing file starts
// nothing and writes no line. True when a program started or a document
// was read.
bool RunFile(const std::wstring& file, const std::wstring& folder, const std::wstring& parameters, HWND owner,
             LPARAM value, bool wait);
// The same without a folder, window or value (start-up programs, status
// events, the main program).
bool RunFile(const std::wstring& file, const std::wstring& parameters, bool wait);

// RunFile inside a running task document: nested documents share the
// context, so that a document is never run inside itself.
bool RunFileIn(TaskContext& context, const std::wstring& file, const std::wstring& folder,
               const std::wstring& parameters, bool wait);

// Starts a program through the shell (no verb, shown normally); with `wait`
// waits for its end without a practical limit. True when it started.
bool StartProgram(const std::wstring& path, const std::wstring& parameters, const std::wstring& folder, bool wait);

// A task's or phase's line: status text to the owner window (with the
// value) and the log.
void ShowAndLogWith(HWND owner, LPARAM value, const std::wstring& text);

}  // namespace mf
