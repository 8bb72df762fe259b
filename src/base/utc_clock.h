// The current time as seconds since 1970-01-01 UTC, the unit in which lists
// state their expiry.
#pragma once

#include <windows.h>

#include <cstdint>

namespace mf {

[[nodiscard]] inline std::int64_t NowUtcSeconds() {
    // FILETIME counts 100 ns from 1601-01-01.
    constexpr std::int64_t kTicksPerSecond = 10000000;
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const std::int64_t ticks = (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / kTicksPerSecond - kSecondsFrom1601To1970;
}

}  // namespace mf
