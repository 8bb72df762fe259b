#include "base/named_lock.h"

#include <atomic>
#include <string>

namespace mf {

HANDLE NamedLockTable::EventFor(long id) {
    std::lock_guard guard(mutex_);
    auto it = events_.find(id);
    if (it == events_.end()) {
        const std::wstring name = L"Lock" + std::to_wstring(id);
        it = events_.emplace(id, UniqueHandle(::CreateEventW(nullptr, FALSE, TRUE, name.c_str()))).first;
    }
    return it->second.get();
}

void EnterEventLock(HANDLE event, DWORD staleMs) {
    // Signalled: the lock is ours. Timed out: the holder is gone and the
    // lock is ours all the same.
    if (event != nullptr) ::WaitForSingleObject(event, staleMs);
}

void NamedLockTable::Enter(long id) { EnterEventLock(EventFor(id), staleMs_); }

void NamedLockTable::Leave(long id) {
    HANDLE event = EventFor(id);
    if (event != nullptr) ::SetEvent(event);
}

namespace {

std::atomic<NamedLockTable*>& CurrentTable() {
    static std::atomic<NamedLockTable*> current{nullptr};
    return current;
}

}  // namespace

NamedLockTable& NamedLockTable::Instance() {
    if (NamedLockTable* table = CurrentTable().load()) return *table;
    static NamedLockTable fallback;
    return fallback;
}

void NamedLockTable::MakeCurrent(NamedLockTable* table) { CurrentTable().store(table); }

}  // namespace mf
