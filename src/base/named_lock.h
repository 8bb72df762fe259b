// Named locks: auto-reset events named "Lock<id>" (id in decimal), created
// signalled on first use; leaving sets the event again. Being named, a lock
// also serialises other processes of the engine that use the same id.
//
// An event, unlike a mutex, is not given up when its holder ends: an engine
// killed or crashed while holding a lock would keep it shut for every engine
// of the session, for ever (every later engine would hang at its first log
// line). Locks are held for short steps only, so a wait as long as
// kStaleLockMs means the holder is gone: the waiter takes the lock over, and
// its leave opens the lock again for everybody.
#pragma once

#include <map>
#include <mutex>

#include "base/handles.h"
#include "base/lock_ids.h"

namespace mf {

inline constexpr DWORD kStaleLockMs = 10000;

// Waits for an auto-reset event used as a lock, at most `staleMs` (see above).
void EnterEventLock(HANDLE event, DWORD staleMs = kStaleLockMs);

class NamedLockTable {
public:
    void Enter(long id);
    void Leave(long id);

    // The current process state's table (see MakeCurrent); a table of its
    // own for code that runs before any state exists.
    static NamedLockTable& Instance();
    // Makes a table current; null returns to the fallback table.
    static void MakeCurrent(NamedLockTable* table);

    // How long a wait lasts before the lock is taken over (tests shorten it).
    void SetStaleAfter(DWORD ms) { staleMs_ = ms; }

private:
    HANDLE EventFor(long id);

    std::mutex mutex_;
    std::map<long, UniqueHandle> events_;
    DWORD staleMs_ = kStaleLockMs;
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
