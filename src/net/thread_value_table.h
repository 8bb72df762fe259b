// The downloader's shared counters: a map from (kind, id) to a 32-bit value
// under one lock. Part threads report into it and the caller polls it; no
// thread ever waits on another's handle.
#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "engine/process_wide.h"

namespace mf {

namespace value_kind {
inline constexpr std::uint32_t kJobCounter = 0xE0000;  // id 0: last job id handed out
inline constexpr std::uint32_t kStopFlag = 0xE0001;    // 9999 once a part of the job failed
inline constexpr std::uint32_t kReceived = 0xE0002;    // bytes of the file, all parts
inline constexpr std::uint32_t kRunning = 0xE0003;     // part threads running
inline constexpr std::uint32_t kPartBase = 0xD0000000; // ORed with the part index: bytes of that part
}  // namespace value_kind

inline constexpr std::int32_t kStopValue = 9999;

// Process-wide: a fresh state starts with no values (job ids from 1).
class ThreadValueTable : public ProcessWide {
public:
    ThreadValueTable();
    ThreadValueTable(const ThreadValueTable&) = delete;
    ThreadValueTable& operator=(const ThreadValueTable&) = delete;

    // An absent key reads as 0; storing 0 removes the key.
    [[nodiscard]] std::int32_t Get(std::uint32_t kind, std::int32_t id);
    void Set(std::uint32_t kind, std::int32_t id, std::int32_t value);
    std::int32_t Add(std::uint32_t kind, std::int32_t id, std::int32_t delta);
    // Add, with the result kept within low..high, under one hold of the lock.
    std::int32_t AddClamped(std::uint32_t kind, std::int32_t id, std::int64_t delta, std::int64_t low,
                            std::int64_t high);

    // The current process state's table.
    static ThreadValueTable& Instance();

    static std::uint64_t Key(std::uint32_t kind, std::int32_t id);

private:
    class Hold;
    void StoreLocked(std::uint64_t key, std::int32_t value);

    std::mutex mutex_;
    std::unordered_map<std::uint64_t, std::int32_t> values_;
};

}  // namespace mf
