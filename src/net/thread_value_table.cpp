#include "net/thread_value_table.h"

#include "engine/process_state.h"

#include <algorithm>

namespace mf {

// Held for every read and change. The table belongs to one process and its
// holders are that process's threads, so an in-process lock serves: a part
// reports into the table after every read, and a named kernel object made
// each of those a round trip to the system (under Wine, to its server).
class ThreadValueTable::Hold {
public:
    explicit Hold(ThreadValueTable& table) : lock_(table.mutex_) {}

private:
    std::lock_guard<std::mutex> lock_;
};

ThreadValueTable::ThreadValueTable() = default;

ThreadValueTable& ThreadValueTable::Instance() { return Process().Shared<ThreadValueTable>(); }

std::uint64_t ThreadValueTable::Key(std::uint32_t kind, std::int32_t id) {
    // A negative id carries its sign bits into the kind half.
    return (static_cast<std::uint64_t>(kind) << 32) | static_cast<std::uint64_t>(static_cast<std::int64_t>(id));
}

void ThreadValueTable::StoreLocked(std::uint64_t key, std::int32_t value) {
    if (value == 0) {
        values_.erase(key);
    } else {
        values_[key] = value;
    }
}

std::int32_t ThreadValueTable::Get(std::uint32_t kind, std::int32_t id) {
    Hold hold(*this);
    const auto it = values_.find(Key(kind, id));
    return it == values_.end() ? 0 : it->second;
}

void ThreadValueTable::Set(std::uint32_t kind, std::int32_t id, std::int32_t value) {
    Hold hold(*this);
    StoreLocked(Key(kind, id), value);
}

std::int32_t ThreadValueTable::Add(std::uint32_t kind, std::int32_t id, std::int32_t delta) {
    Hold hold(*this);
    const std::uint64_t key = Key(kind, id);
    const auto it = values_.find(key);
    const std::int32_t value = (it == values_.end() ? 0 : it->second) + delta;
    StoreLocked(key, value);
    return value;
}

std::int32_t ThreadValueTable::AddClamped(std::uint32_t kind, std::int32_t id, std::int64_t delta, std::int64_t low,
                                          std::int64_t high) {
    Hold hold(*this);
    const std::uint64_t key = Key(kind, id);
    const auto it = values_.find(key);
    const std::int64_t sum = static_cast<std::int64_t>(it == values_.end() ? 0 : it->second) + delta;
    const auto value = static_cast<std::int32_t>(std::clamp(sum, low, std::max(low, high)));
    StoreLocked(key, value);
    return value;
}

}  // namespace mf
