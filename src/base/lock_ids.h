// Every named lock of the engine. A lock is the event "Lock<id>" (id in
// decimal), so an id is shared with every other engine of the session,
// older releases included, that takes the same lock.
//
// NEVER RENUMBER: changing an id splits one lock into two between engines
// of different releases. Add new ids; never reuse one.
#pragma once

namespace mf::lock_id {

inline constexpr long kLog = 0xC0001;             // 786433: log file writes
inline constexpr long kList = 0xB0001;            // update list records
inline constexpr long kStartedMessage = 0xF0001;  // download phase: "file started" messages
inline constexpr long kFetchedMessage = 0xF0002;  // download phase: "file fetched" messages
inline constexpr long kFailedMessage = 0xF0003;   // download phase: "file failed" messages
inline constexpr long kCandidate = 0xF000B;       // check: the candidate list race
inline constexpr long kListDownload = 0xF000C;    // check: the list download thread's result
inline constexpr long kVersionQuery = 0xF000D;    // check: the version query thread's result
inline constexpr long kRecordStatus = 0xF0013;    // a record's status text

}  // namespace mf::lock_id
