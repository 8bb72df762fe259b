// Part workers, shared by the downloads of one session (DownloadSession): a
// worker fetches part after part, of whichever download, and waits when
// there is none. Under Wine a thread costs a few dozen server calls and
// fresh stack pages to start, which for small files was more than their
// parts' transfer.
// Each download keeps to its own connection count; the pool holds as many
// workers as parts ever ran at once.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "base/handles.h"

namespace mf {

class PartWorkerPool {
public:
    // A task gets the worker's read buffer (kTransferBlock bytes, or null
    // when it could not be had).
    using Task = std::function<void(char* buffer)>;

    PartWorkerPool() = default;
    PartWorkerPool(const PartWorkerPool&) = delete;
    PartWorkerPool& operator=(const PartWorkerPool&) = delete;
    // Idle workers end; busy ones end after their part. Nothing waits for
    // them: a part of an abandoned download may take until its time-out,
    // and the end of the process must not wait for that.
    ~PartWorkerPool();

    // False when no worker is there to run it and none can be started.
    [[nodiscard]] bool Submit(Task task);

private:
    // Shared with the workers, which may outlive the pool.
    struct State {
        std::mutex mutex;
        std::deque<Task> queue;
        LONG idle = 0;
        LONG workers = 0;
        bool closing = false;
        UniqueHandle wake{::CreateSemaphoreW(nullptr, 0, 0x7FFFFFFF, nullptr)};
    };

    static DWORD WINAPI Run(void* parameter);

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace mf
