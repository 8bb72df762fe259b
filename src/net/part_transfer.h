// One block of a ranged download: connects (again when the server drops
// it), reads the block into a sink file and reports progress. Used by the
// part threads and, for the whole file, by the one-stream mode.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

namespace mf {

struct PartJob {
    std::wstring url;
    std::int32_t index = 0;
    std::int32_t offset = 0;
    std::int32_t length = 0;    // 0: one stream, the length comes from the response
    std::int32_t jobId = 0;
    std::int32_t fileSize = 0;  // updated from the response in one-stream mode
    bool failFast = false;
    int word = 0;
    HWND window = nullptr;
};

// True when the sink holds the whole block. On failure the job's stop flag
// is set and this part's bytes are taken back out of the totals.
[[nodiscard]] bool TransferPart(PartJob& job, HANDLE sink);

// Synchronous progress message to the window, when there is one.
void SendProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Next numbers for the agents "down%d" and "querysize%d".
int NextPartAgentNumber();
int NextQueryAgentNumber();

// Sets the server-kind flag when the response names the engine's server.
void NoteServerKind(HINTERNET request);

}  // namespace mf
