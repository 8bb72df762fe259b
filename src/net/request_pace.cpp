#include "net/request_pace.h"

#include "net/net_limits.h"

namespace mf {

std::uint64_t FileDeadlineMs(const NetLimits& limits, std::int64_t bytes) {
    const std::int64_t rate = limits.deadlineBytesPerSecond > 0 ? limits.deadlineBytesPerSecond : 1;
    const std::int64_t size = bytes > 0 ? bytes : 0;
    return limits.deadlineBaseMs + static_cast<std::uint64_t>(size / rate) * 1000 +
           static_cast<std::uint64_t>(size % rate) * 1000 / static_cast<std::uint64_t>(rate);
}

RequestPace::RequestPace(const NetLimits& limits, std::uint64_t now)
    : RequestPace(limits.lowSpeedBytesPerSecond, limits.lowSpeedWindowMs, now) {}

void RequestPace::Restart(std::uint64_t now) {
    windowStart_ = now;
    inWindow_ = 0;
}

// Windows follow each other: a window that held enough bytes starts the
// next one, so a reply that slows down late is caught one window later.
Pace RequestPace::Note(std::int64_t count, std::uint64_t now) {
    if (deadline_ != 0 && now >= deadline_) return Pace::Expired;
    inWindow_ += count;
    if (windowMs_ == 0 || bytesPerSecond_ <= 0 || now - windowStart_ < windowMs_) return Pace::Ok;
    const auto elapsed = static_cast<std::int64_t>(now - windowStart_);
    if (inWindow_ * 1000 < bytesPerSecond_ * elapsed) return Pace::TooSlow;
    Restart(now);
    return Pace::Ok;
}

}  // namespace mf
