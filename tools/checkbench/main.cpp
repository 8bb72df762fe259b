// Times the update check's list step: the server list and the installed
// list read and compared, as the check does it.
//
//   mfcheckbench SERVER_LIST LOCAL_LIST [RUNS]
//   mfcheckbench --sax-floor SERVER_LIST LOCAL_LIST [RUNS]
//   mfcheckbench --merge PRODUCT_LIST MAIN_LIST OUTPUT
//
// Prints the best and the median time of RUNS runs (default 5) in
// milliseconds and the number of records found. With --sax-floor it times
// the XML library's SAX reader alone on the same two files: once with a
// content handler that does nothing (empty_*) and once with one that only
// copies attribute names and values into strings (copy_*). With --merge it
// merges the main list into a copy of the product list as the check does
// (no digest service), writes the result to OUTPUT and prints the time.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/handles.h"
#include "base/strings.h"
#include "check/main_list_merge.h"
#include "check/update_check.h"
#include "engine/process_state.h"
#include "sax_floor.h"

namespace {

struct Timing {
    double best = 0;
    double median = 0;
};

Timing Summarise(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

double MillisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER end, frequency;
    ::QueryPerformanceCounter(&end);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int RunSaxFloor(const wchar_t* server, const wchar_t* local, int runs) {
    const mf::ComInit com;
    std::printf("sax_floor");
    for (const auto& [label, kind] : {std::pair{"empty", mfbench::FloorHandler::Empty},
                                      std::pair{"copy", mfbench::FloorHandler::CopyAttributes}}) {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            LARGE_INTEGER start;
            ::QueryPerformanceCounter(&start);
            if (!mfbench::ParseWithFloorHandler(server, kind) || !mfbench::ParseWithFloorHandler(local, kind)) {
                std::fwprintf(stderr, L"cannot parse the lists\n");
                return 1;
            }
            times.push_back(MillisecondsSince(start));
        }
        const Timing timing = Summarise(times);
        std::printf(" %s_best_ms=%.1f %s_median_ms=%.1f", label, timing.best, label, timing.median);
    }
    std::printf("\n");
    return 0;
}

int RunMerge(const wchar_t* product, const wchar_t* main, const wchar_t* output) {
    const mf::ComInit com;
    const std::wstring mainCopy = std::wstring(output) + L".main";
    if (!::CopyFileW(product, output, FALSE) || !::CopyFileW(main, mainCopy.c_str(), FALSE)) {
        std::fwprintf(stderr, L"cannot copy the lists\n");
        return 1;
    }
    mf::ProcessState state;
    mf::ScopedProcessState use(state);
    LARGE_INTEGER start;
    ::QueryPerformanceCounter(&start);
    const int merged = mf::MergeMainListWith(output, mainCopy, mf::MainListMacros{}, nullptr);
    const double ms = MillisecondsSince(start);
    ::DeleteFileW(mainCopy.c_str());
    if (merged != 1) {
        std::fwprintf(stderr, L"merge failed\n");
        return 1;
    }
    std::printf("merge_ms=%.1f\n", ms);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 5 && std::wstring(argv[1]) == L"--merge") return RunMerge(argv[2], argv[3], argv[4]);
    if (argc >= 4 && std::wstring(argv[1]) == L"--sax-floor")
        return RunSaxFloor(argv[2], argv[3], argc > 4 ? std::max(1L, mf::ParseLong(argv[4])) : 5);
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: mfcheckbench [--sax-floor] SERVER_LIST LOCAL_LIST [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::max(1L, mf::ParseLong(argv[3])) : 5;
    const mf::ComInit com;
    // Reading rewrites a list that carries a "guid"; work on copies.
    const std::wstring server = std::wstring(argv[1]) + L".run";
    const std::wstring local = std::wstring(argv[2]) + L".run";

    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    int found = 0;
    for (int i = 0; i < runs; ++i) {
        ::CopyFileW(argv[1], server.c_str(), FALSE);
        ::CopyFileW(argv[2], local.c_str(), FALSE);
        mf::ProcessState state;
        mf::ScopedProcessState use(state);
        LARGE_INTEGER start, end;
        ::QueryPerformanceCounter(&start);
        mf::ReadAndCompareLists(server, local, state.updateList);
        ::QueryPerformanceCounter(&end);
        times.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                        static_cast<double>(frequency.QuadPart));
        found = state.updateList.GetSize();
    }
    ::DeleteFileW(server.c_str());
    ::DeleteFileW(local.c_str());
    std::sort(times.begin(), times.end());
    std::printf("best_ms=%.1f median_ms=%.1f found=%d\n", times.front(), times[times.size() / 2], found);
    return 0;
}
