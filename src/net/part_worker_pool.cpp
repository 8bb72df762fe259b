#include "net/part_worker_pool.h"

#include <vector>

#include "net/range_downloader.h"

namespace mf {

PartWorkerPool::~PartWorkerPool() {
    std::lock_guard lock(state_->mutex);
    state_->closing = true;
    ::ReleaseSemaphore(state_->wake.get(), state_->workers + 1, nullptr);
}

bool PartWorkerPool::Submit(Task task) {
    State& state = *state_;
    std::lock_guard lock(state.mutex);
    state.queue.push_back(std::move(task));
    if (state.idle > 0) {
        --state.idle;
        ::ReleaseSemaphore(state.wake.get(), 1, nullptr);
        return true;
    }
    auto owner = std::make_unique<std::shared_ptr<State>>(state_);
    UniqueHandle thread(::CreateThread(nullptr, 0, Run, owner.get(), 0, nullptr));
    if (thread) {
        (void)owner.release();
        ++state.workers;
        return true;
    }
    // A busy worker takes it up when it is done.
    if (state.workers > 0) return true;
    state.queue.pop_back();
    return false;
}

DWORD WINAPI PartWorkerPool::Run(void* parameter) {
    const std::shared_ptr<State> state =
        *std::unique_ptr<std::shared_ptr<State>>(static_cast<std::shared_ptr<State>*>(parameter));
    std::vector<char> buffer;
    try {
        buffer.resize(kTransferBlock);
    } catch (...) {
    }
    std::unique_lock lock(state->mutex);
    for (;;) {
        if (!state->queue.empty() && !state->closing) {
            Task task = std::move(state->queue.front());
            state->queue.pop_front();
            lock.unlock();
            task(buffer.empty() ? nullptr : buffer.data());
            task = nullptr;
            lock.lock();
            continue;
        }
        if (state->closing) {
            --state->workers;
            return 0;
        }
        ++state->idle;
        lock.unlock();
        ::WaitForSingleObject(state->wake.get(), INFINITE);
        lock.lock();
    }
}

}  // namespace mf
