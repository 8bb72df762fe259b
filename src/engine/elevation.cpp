#include "engine/elevation.h"

#include <windows.h>
#include <shellapi.h>

#include "base/handles.h"
#include "base/run_program.h"
#include "base/md5.h"
#include "base/strings.h"
#include "list/list_archive.h"
#include "engine/command_line.h"
#include "engine/message_box.h"
#include "engine/process_state.h"
#include "engine/status.h"

namespace mf {

std::wstring ElevatedParameters(const std::wstring& storedCommandLine, const std::wstring& listDigest) {
    std::wstring parameters = storedCommandLine.empty() ? std::wstring(L"/") + kElevationMarker
                                                        : storedCommandLine + L" /" + kElevationMarker;
    if (!listDigest.empty()) parameters += L" /" + std::wstring(kHandOverDigestWord) + listDigest;
    return parameters;
}

void RelaunchElevated(bool saveList) {
    ProcessState& state = Process();
    const std::wstring savedList = state.paths.SavedListFile();
    DeleteFileForce(savedList);
    const std::wstring digest = saveList ? SaveUpdateListForElevatedRun(savedList) : std::wstring();
    const std::wstring parameters = ElevatedParameters(state.run.commandLine, digest);
    state.run.elevationRequested = true;

    if (!StartEngineAgain(parameters, L"runas", SW_SHOWNORMAL)) WriteLog(L"Cannot start the engine as administrator");
}

bool StartEngineAgain(const std::wstring& parameters, const wchar_t* verb, int show) {
    ShellStart start(ExecutablePath(), parameters, Process().workFolder.Get());
    start.verb = verb;
    start.show = show;
    return StartThroughShell(start);
}

std::wstring HandOverDigest(const std::string& savedListBytes) {
    return Sha256Of(savedListBytes.data(), savedListBytes.size());
}

bool LoadSavedUpdateListForElevatedRun(const std::wstring& expectedDigest, DownLoadList& saved) {
    const std::wstring file = Process().paths.SavedListFile();
    if (::GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    // Read once: what is checked is what is loaded.
    std::string bytes;
    const bool read = ReadWholeFile(file, bytes);
    DeleteFileForce(file);
    if (!read || expectedDigest.empty() || !EqualsNoCase(HandOverDigest(bytes), expectedDigest)) {
        WriteLog(L"The saved update list is not the one handed over; checking again: " + file);
        return false;
    }
    ListArchive archive(std::move(bytes));
    if (!saved.Serialize(archive)) {
        // Part of a list would install part of an update and report it
        // done: the elevated instance checks again instead.
        WriteLog(L"The saved update list is damaged: " + file);
        return false;
    }
    return true;
}

std::wstring SaveUpdateListForElevatedRun(const std::wstring& path) {
    ListArchive archive;
    Process().updateList.Serialize(archive);
    if (!WriteWholeFile(path, archive.Bytes())) {
        WriteLog(L"The update list could not be saved: " + path);
        return {};
    }
    return HandOverDigest(archive.Bytes());
}

void PromptElevationForConfig(const std::wstring& iniPath) {
    const std::wstring text = TranslateFormat(
        L"Can't write to file\n%s\nRequest run as administrator.\nRestart program now?", iniPath);
    if (ShowMessage(Process().mainWindow, text, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    RelaunchElevated(false);
    HWND main = Process().mainWindow;
    if (main != nullptr) {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored);
        ::PostMessageW(main, WM_CLOSE, 0, 0);
    }
    ::PostQuitMessage(0);
}

}  // namespace mf
