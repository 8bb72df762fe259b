// What the downloads of one run share: one WinINet root handle, so that the
// connections to a server are kept alive and reused from one file to the
// next, and the part workers that fetch the files' parts. A download without
// a session opens its own handle and starts its own workers.
#pragma once

#include <windows.h>

#include "base/handles.h"
#include "net/part_worker_pool.h"

namespace mf {

class DownloadSession {
public:
    // Opens the root handle (agent "down%d"); when it cannot be opened, each
    // download opens its own and only the workers are shared.
    DownloadSession();
    DownloadSession(const DownloadSession&) = delete;
    DownloadSession& operator=(const DownloadSession&) = delete;

    // Null when it could not be opened.
    [[nodiscard]] HINTERNET root() const { return root_.get(); }
    [[nodiscard]] PartWorkerPool& workers() { return workers_; }

private:
    UniqueInternet root_;
    PartWorkerPool workers_;
};

}  // namespace mf
