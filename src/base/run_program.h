// Starting a program through the shell: the one place the engine calls
// ShellExecuteEx.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace mf {

struct ShellStart {
    ShellStart(std::wstring program, std::wstring arguments, std::wstring currentFolder = {}, bool waitForEnd = false)
        : path(std::move(program)),
          parameters(std::move(arguments)),
          folder(std::move(currentFolder)),
          wait(waitForEnd) {}

    std::wstring path;
    std::wstring parameters;
    std::wstring folder;          // the program's current folder; none when empty
    const wchar_t* verb = L"open";  // null: the file type's default verb
    int show = SW_SHOWNORMAL;
    bool wait = false;            // wait for the program to end, without a limit
};

// True when the program started.
bool StartThroughShell(const ShellStart& start);

// Shorthands with the verb "open", shown normally.
bool RunProgram(const std::wstring& path, const std::wstring& parameters, bool wait);
bool RunProgramIn(const std::wstring& path, const std::wstring& parameters, const std::wstring& folder, bool wait);

}  // namespace mf
