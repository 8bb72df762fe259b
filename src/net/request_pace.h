// How long a request may run: a reply must keep up a lowest speed over a
// window (as curl's --speed-limit / --speed-time), and a whole file has a
// deadline that grows with its size. The receive time-out alone does not
// bound a reply: a server that sends one byte every few seconds answers
// inside every time-out and never ends. Pure logic; the time comes from
// the caller.
#pragma once

#include <cstdint>

namespace mf {

struct NetLimits;

enum class Pace {
    Ok,
    TooSlow,  // the last window held fewer bytes than the lowest speed asks
    Expired,  // the deadline has passed
};

// Milliseconds a file of `bytes` may take, by the limits' deadline rules.
[[nodiscard]] std::uint64_t FileDeadlineMs(const NetLimits& limits, std::int64_t bytes);

class RequestPace {
public:
    // A reply slower than `bytesPerSecond` over `windowMs` is too slow; no
    // deadline until one is set.
    RequestPace(std::int64_t bytesPerSecond, std::uint64_t windowMs, std::uint64_t now)
        : bytesPerSecond_(bytesPerSecond), windowMs_(windowMs), windowStart_(now) {}
    // From the limits given.
    RequestPace(const NetLimits& limits, std::uint64_t now);

    // Ends at `tick` (0: never).
    void SetDeadline(std::uint64_t tick) { deadline_ = tick; }
    [[nodiscard]] std::uint64_t deadline() const { return deadline_; }
    // A new reply: its first window starts now.
    void Restart(std::uint64_t now);
    // `count` bytes arrived at `now` (0: the caller only looks at the time).
    [[nodiscard]] Pace Note(std::int64_t count, std::uint64_t now);

private:
    std::int64_t bytesPerSecond_;
    std::uint64_t windowMs_;
    std::uint64_t windowStart_;
    std::int64_t inWindow_ = 0;
    std::uint64_t deadline_ = 0;
};

}  // namespace mf
