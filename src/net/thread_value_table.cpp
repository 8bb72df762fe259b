#include "net/thread_value_table.h"

#include "base/named_lock.h"
#include "engine/process_state.h"

#include <algorithm>

namespace mf {

// The named event is the lock: auto-reset, so each wait lets exactly one
// thread in until it sets the event again.
class ThreadValueTable::Hold {
public:
    explicit Hold(HANDLE event) : event_(event) { EnterEventLock(event_); }
    ~Hold() { ::SetEvent(event_); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    HANDLE event_;
};

ThreadValueTable::ThreadValueTable() {
    event_.reset(::CreateEventW(nullptr, FALSE, FALSE, L"threadValueEvent"));
    // Only the creator opens the lock; an event that already existed is
    // another table's lock in its current state.
    if (event_ && ::GetLastError() != ERROR_ALREADY_EXISTS) ::SetEvent(event_.get());
}

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
    Hold hold(event_.get());
    const auto it = values_.find(Key(kind, id));
    return it == values_.end() ? 0 : it->second;
}

void ThreadValueTable::Set(std::uint32_t kind, std::int32_t id, std::int32_t value) {
    Hold hold(event_.get());
    StoreLocked(Key(kind, id), value);
}

std::int32_t ThreadValueTable::Add(std::uint32_t kind, std::int32_t id, std::int32_t delta) {
    Hold hold(event_.get());
    const std::uint64_t key = Key(kind, id);
    const auto it = values_.find(key);
    const std::int32_t value = (it == values_.end() ? 0 : it->second) + delta;
    StoreLocked(key, value);
    return value;
}

std::int32_t ThreadValueTable::AddClamped(std::uint32_t kind, std::int32_t id, std::int64_t delta, std::int64_t low,
                                          std::int64_t high) {
    Hold hold(event_.get());
    const std::uint64_t key = Key(kind, id);
    const auto it = values_.find(key);
    const std::int64_t sum = static_cast<std::int64_t>(it == values_.end() ? 0 : it->second) + delta;
    const auto value = static_cast<std::int32_t>(std::clamp(sum, low, std::max(low, high)));
    StoreLocked(key, value);
    return value;
}

}  // namespace mf
