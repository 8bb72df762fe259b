// Named locks: auto-reset events named "Lock<id>" (id in decimal), created
// signalled on first use. Entering waits without a time-out; leaving sets the
// event again. Being named, a lock also serialises other processes of the
// engine that use the same id.
#pragma once

#include <map>
#include <mutex>

#include "base/handles.h"

namespace mf {

namespace lock_id {
inline constexpr long kLog = 0xC0001;   // 786433: log file writes
inline constexpr long kList = 0xB0001;  // update list records
}  // namespace lock_id

class NamedLockTable {
public:
    void Enter(long id);
    void Leave(long id);

    // The current process state's table (see MakeCurrent); a table of its
    // own for code that runs before any state exists.
    static NamedLockTable& Instance();
    // Makes a table current; null returns to the fallback table.
    static void MakeCurrent(NamedLockTable* table);

private:
    HANDLE EventFor(long id);

    std::mutex mutex_;
    std::map<long, UniqueHandle> events_;
};

class ScopedNamedLock {
public:
    explicit ScopedNamedLock(long id, NamedLockTable& table = NamedLockTable::Instance()) : table_(table), id_(id) {
        table_.Enter(id_);
    }
    ~ScopedNamedLock() { table_.Leave(id_); }
    ScopedNamedLock(const ScopedNamedLock&) = delete;
    ScopedNamedLock& operator=(const ScopedNamedLock&) = delete;

private:
    NamedLockTable& table_;
    long id_;
};

}  // namespace mf
