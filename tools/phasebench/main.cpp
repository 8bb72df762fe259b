// mirefold-phasebench: runs the engine's download phase over a list of files.
//
//   mirefold-phasebench [-j FILES] [-t CONNECTIONS] BASEURL PATHS WORKFOLDER
//   mirefold-phasebench [-j FILES] [-t CONNECTIONS] -l LIST BASEURL WORKFOLDER
//
// PATHS is a text file of relative paths, one per line (UTF-8); each becomes
// a record fetched from BASEURL + "/" + path (zip variant first) into
// WORKFOLDER's download folder, FILES at a time (default 8) with CONNECTIONS
// per file (default 8), as in an update. With -l the records are those of an
// update list file (as a check reads a server list: its digests, its zip
// variant marks), fetched from BASEURL. Prints one line:
//   files <n> pending <n> status <code> seconds <s> files/s <f>
// and exits with the number of files that are not pending afterwards.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "apply/download_phase.h"
#include "base/files.h"
#include "base/strings.h"
#include "check/update_list_reader.h"
#include "engine/process_state.h"
#include "tool_arguments.h"

namespace {

std::vector<std::wstring> ReadPaths(const std::wstring& file) {
    std::vector<std::wstring> paths;
    for (std::wstring& line : mf::tools::ReadUtf8Lines(file)) {
        if (!line.empty()) paths.push_back(std::move(line));
    }
    return paths;
}

int Usage() {
    std::fputs("usage: mirefold-phasebench [-j FILES] [-t CONNECTIONS] BASEURL PATHS WORKFOLDER\n"
               "       mirefold-phasebench [-j FILES] [-t CONNECTIONS] -l LIST BASEURL WORKFOLDER\n",
               stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const mf::tools::ToolArguments arguments = mf::tools::ParseToolArguments(argc, argv, {L"-l", L"-j", L"-t"});
    const int files = arguments.Number(L"-j", 8);
    const int connections = arguments.Number(L"-t", 8);
    const std::wstring listFile = arguments.Text(L"-l");
    const std::vector<std::wstring>& positional = arguments.positional;
    if (positional.size() != (listFile.empty() ? 3u : 2u)) return Usage();
    const std::wstring& baseUrl = positional[0];
    const std::wstring folder = positional.back();

    mf::ProcessState state;
    mf::ScopedProcessState use(state);
    mf::CreateFolderTree(folder);
    state.workFolder.Set(folder + L"\\");
    {
        std::ofstream ini((folder + L"\\mirefold.ini").c_str(), std::ios::binary);
        ini << "[Mirefold]\r\nTempAppPath=1\r\n[UPDATEINFO]\r\nListURL=http://127.0.0.1/bench/update.xml\r\n";
    }
    state.fileConcurrency = mf::ClampFileConcurrency(files);
    state.fileConnections = mf::ClampFileConnections(connections);
    std::vector<std::wstring> paths;
    if (listFile.empty()) {
        paths = ReadPaths(positional[1]);
        for (const std::wstring& path : paths) {
            mf::updatefileinfo record;
            record.path = path;
            record.ver = L"1";
            state.updateList.Add(record);
        }
    } else {
        (void)::CoInitialize(nullptr);
        if (!mf::ReadUpdateList(listFile, state.updateList, true)) {
            std::fputs("cannot read the list\n", stderr);
            return 2;
        }
        for (int i = 0; i < state.updateList.GetSize(); ++i) paths.push_back(state.updateList[i].path);
    }
    state.updateList.baseUrl = baseUrl;

    LARGE_INTEGER frequency{}, start{}, end{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    mf::RunDownloadPhase(nullptr);
    ::QueryPerformanceCounter(&end);
    mf::WaitForDownloadThreads(60000);

    int pending = 0;
    for (const std::wstring& path : paths)
        if (mf::FileExists(mf::DownloadTempPath(path) + L"_")) ++pending;
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("files %d pending %d status %d seconds %.3f files/s %.1f\n", static_cast<int>(paths.size()), pending,
                mf::ToInt(state.updateList.Status()), seconds, seconds > 0 ? paths.size() / seconds : 0.0);
    return static_cast<int>(paths.size()) - pending;
}
