// mfget: downloads files with the engine's ranged downloader.
//
//   mfget [-t THREADS] URL TARGET
//   mfget [-t THREADS] [-j FILES] -l LISTFILE
//
// A list file holds one "URL<tab>TARGET" per line (UTF-8). Files of a list
// are fetched FILES at a time, each with THREADS connections (default 8),
// as the download phase does. Prints the bytes, the time and the peak
// working set; exits with the number of failed files.
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/strings.h"
#include "engine/process_state.h"
#include "net/range_downloader.h"
#include "tool_arguments.h"

namespace {

struct Job {
    std::wstring url;
    std::wstring target;
};

std::vector<Job> ReadList(const std::wstring& path) {
    std::vector<Job> jobs;
    for (const std::wstring& line : mf::tools::ReadUtf8Lines(path)) {
        const std::size_t tab = line.find(L'\t');
        if (tab == std::wstring::npos) continue;
        jobs.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    return jobs;
}

std::int64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int Usage() {
    std::fwprintf(stderr, L"usage: mfget [-t THREADS] URL TARGET\n       mfget [-t THREADS] [-j FILES] -l LISTFILE\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const mf::tools::ToolArguments arguments = mf::tools::ParseToolArguments(argc, argv, {L"-t", L"-j", L"-l"});
    const int threads = arguments.Number(L"-t", 8);
    const int concurrency = std::max(1, arguments.Number(L"-j", 1));
    const std::wstring list = arguments.Text(L"-l");
    const std::vector<std::wstring>& rest = arguments.positional;
    std::vector<Job> jobs;
    if (!list.empty()) {
        jobs = ReadList(list);
    } else if (rest.size() == 2) {
        jobs.push_back({rest[0], rest[1]});
    } else {
        return Usage();
    }

    wchar_t folder[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    mf::Process().workFolder.Set(folder);

    const ULONGLONG started = ::GetTickCount64();
    std::atomic<std::size_t> next{0};
    std::atomic<int> failed{0};
    std::atomic<std::int64_t> bytes{0};
    auto worker = [&] {
        for (std::size_t i = next++; i < jobs.size(); i = next++) {
            if (mf::DownloadFile(jobs[i].url, jobs[i].target, false, static_cast<int>(i), nullptr, threads) != 0) {
                std::fwprintf(stderr, L"failed: %ls\n", jobs[i].url.c_str());
                ++failed;
            } else {
                bytes += FileSize(jobs[i].target);
            }
        }
    };
    std::vector<std::thread> workers;
    for (int w = 0; w < concurrency; ++w) workers.emplace_back(worker);
    for (std::thread& t : workers) t.join();
    const double seconds = static_cast<double>(::GetTickCount64() - started) / 1000.0;

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
    std::wprintf(L"files=%zu failed=%d bytes=%lld seconds=%.3f MBps=%.1f peak_working_set_kib=%lu\n", jobs.size(),
                 failed.load(), static_cast<long long>(bytes.load()), seconds,
                 seconds > 0 ? static_cast<double>(bytes.load()) / 1e6 / seconds : 0.0,
                 static_cast<unsigned long>(memory.PeakWorkingSetSize / 1024));
    return failed.load();
}
